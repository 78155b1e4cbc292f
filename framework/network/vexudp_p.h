// SPDX-License-Identifier: MIT
//
// Not part of the public API: the private data of CvexUdp.
#ifndef VEXUDP_P_H
#define VEXUDP_P_H

#include "vexaddress.h"
#include "vexsocket_p.h"
#include "vexudp.h"

#include <asio/io_context.hpp>
#ifdef _WIN32
#include <asio/ip/udp.hpp>
#else
#include <asio/posix/stream_descriptor.hpp>
#endif

#include <memory>
#include <mutex>

namespace Orrery {

// Readiness of the socket in one event loop: a duplicate of the socket's descriptor registered
// with that loop. Its operations run only in the loop's thread.
struct CvexUdpBinding {
#ifdef _WIN32
    using Descriptor = asio::ip::udp::socket;
#else
    using Descriptor = asio::posix::stream_descriptor;
#endif

    explicit CvexUdpBinding(std::shared_ptr<asio::io_context> loop)
        : context(std::move(loop)), descriptor(*context)
    {
    }

    void assign(vexsocket::Native duplicate, std::error_code& error)
    {
#ifdef _WIN32
        descriptor.assign(asio::ip::udp::v4(), duplicate, error);
#else
        descriptor.assign(duplicate, error);
#endif
    }

    std::shared_ptr<asio::io_context> context;
    Descriptor descriptor;
};

// Queued work holds the socket data only weakly, so a socket deleted while its loop is stopped
// leaves nothing behind that keeps it or the loop alive.
class CvexUdpPrivate : public std::enable_shared_from_this<CvexUdpPrivate> {
public:
    explicit CvexUdpPrivate(CvexUdp* q) : q(q) {}
    ~CvexUdpPrivate();

    bool bind(const CvexAddress& address, unsigned short port, bool exclusive);
    void close();
    void bindTo(CvexThread* thread);
    void detachOwner();
    // Takes up a watch that rested for want of a listener.
    void resume();

    bool isBound() const;
    int error() const;
    CvexAddress localAddress() const;
    unsigned short localPort() const;
    long long pendingDatagramSize() const;
    long long readDatagram(char* data, long long maxSize, CvexAddress* address,
                           unsigned short* port);
    long long writeDatagram(const char* data, long long size, const CvexAddress& address,
                            unsigned short port);

private:
    // Each bind, close and move opens a new generation; work of an older one is dropped.
    struct Watch {
        std::weak_ptr<CvexUdpBinding> binding;
        unsigned long generation = 0;
    };

    // False when the system gave no socket.
    bool ensureSocket();
    void closeLocked();
    Watch rebindLocked(CvexThread* thread);
    bool isCurrent(const Watch& watch) const;
    void postWatch(const Watch& watch);
    void watch(const std::shared_ptr<CvexUdpBinding>& binding, const Watch& watch);
    // `announced`: the loop reported the descriptor readable, so a datagram most likely waits and
    // asking the socket first would cost a system call on every arrival.
    void onReadable(const Watch& watch, bool announced = false);
    void rest(const Watch& watch);
    bool hasListener();
    bool emitReadyRead();

    // Held while "readyRead" is emitted, so that the owner's destructor waits for the emission.
    std::recursive_mutex _emitMutex;
    CvexUdp* q;

    mutable std::mutex _mutex;
    vexsocket::Handle _socket;
    bool _bound = false;
    CvexAddress _localAddress;
    unsigned short _localPort = 0;
    CvexThread* _thread = nullptr;
    unsigned long _generation = 0;
    std::shared_ptr<CvexUdpBinding> _binding;
    // The watch of the current generation waits for a listener rather than for the socket.
    bool _resting = false;
    // The system's error number of the last failed bind or send; 0 before any failure.
    int _error = 0;
};

} // namespace Orrery

#endif // VEXUDP_P_H
