// SPDX-License-Identifier: MIT
// Every public header of libvex_plccommon-2 and of the platform libraries it sits on.
#ifndef VEXPLC_H
#define VEXPLC_H

// Kernel
#include "vexbytearray.h"
#include "vexdevice.h"
#include "vexdiagnostic.h"
#include "vexelapsedtimer.h"
#include "vexevent.h"
#include "vexfile.h"
#include "vexglobal.h"
#include "vexmutex.h"
#include "vexnocopyable.h"
#include "vexobject.h"
#include "vexstring.h"
#include "vexthread.h"
#include "vextime.h"
#include "vextimer.h"
#include "vexvariant.h"

// Network
#include "vexaddress.h"
#include "vexudp.h"

// Protocol base
#include "vexabstractcommsource.h"
#include "vexabstractpartprotocol.h"
#include "vexabstractprotocol.h"

// Data storage and control data
#include "vexabstractcontroldata.h"
#include "vexabstractdatastorage.h"
#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"

// The common file
#include "vexparseissue.h"
#include "vexparseplccommon.h"

// Packet protocols
#include "vexplcactionprotocol.h"
#include "vexplcactualprotocol.h"
#include "vexplcalarmprotocol.h"
#include "vexplccantransmitprotocol.h"
#include "vexplccurveprotocol.h"
#include "vexplclinestatusprotocol.h"
#include "vexplcmoldsetprotocol.h"
#include "vexplcmoldsetstatusprotocol.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol.h"
#include "vexplcprotocolfactory.h"
#include "vexplcreadparamprotocol.h"
#include "vexplctriggerconfirmprotocol.h"
#include "vexplctriggerprotocol.h"
#include "vexplcvaluerecord.h"
#include "vexplcwriteparamprotocol.h"

// The communication source
#include "vexplccommon.h"
#include "vexplcevent.h"
#include "vexplcstatistics.h"

#endif // VEXPLC_H
