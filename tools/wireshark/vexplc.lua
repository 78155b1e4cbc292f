-- SPDX-License-Identifier: MIT
-- Wireshark / tshark 4.x dissector for the vexplc link between a moulding-machine host and its PLC.
--
-- Every UDP datagram is one packet: a head (12 bytes in the common family, 8 in the trigger
-- family), a payload, and the 2-byte end mark 0x6688; all fields are little-endian. The host
-- starts its packets with 0x8899, the PLC with 0x5588. Expert info marks what the host library
-- would refuse or cut short: a wrong start mark, a length field that disagrees with the datagram,
-- a count beyond the datagram, a short record or a datagram too short for its type.
--
-- Install: copy this file into Wireshark's Lua plugin folder (`tshark -G folders` names it), or
-- load it for one run with `tshark -X lua_script:vexplc.lua`.

-- Loaded twice (an installed copy plus -X lua_script), the second copy steps aside.
local created, vexplc = pcall(Proto, "vexplc", "vexplc PLC link")
if not created then
    return
end

local HOST_MARK = 0x8899
local PLC_MARK = 0x5588
local TAIL_MARK = 0x6688
local COMMON_HEAD = 12
local TRIGGER_HEAD = 8
local TAIL = 2

-- Type code -> name, as plcsim and plchost print them.
local type_names = {
    [1] = "actual subscription", [1001] = "actual values",
    [2] = "read parameters", [1002] = "parameter values",
    [3] = "write parameters", [1003] = "parameters written",
    [2004] = "alarm answer", [1004] = "alarm",
    [5] = "curve request", [1005] = "curve reply",
    [6] = "actions", [1006] = "action states",
    [7] = "line status request", [1007] = "line status",
    [8] = "mold set status request", [1008] = "mold set status",
    [9] = "mold set pack", [1009] = "mold set ack",
    [17] = "trigger definition", [1017] = "trigger ack",
    [2018] = "trigger confirmation", [1018] = "triggered data",
    [15] = "CAN transmit", [1015] = "CAN transmit reply",
    [16] = "CAN transmit", [1016] = "CAN transmit reply",
}

local trigger_family = { [17] = true, [1017] = true, [2018] = true, [1018] = true }

local data_type_names = {
    [0] = "not read", [1] = "int8", [2] = "int16", [3] = "int16", [4] = "int32", [5] = "int32",
    [6] = "uint32", [7] = "float", [8] = "float", [9] = "int8",
}

local trigger_status_names = {
    [0] = "no error", [0xFFFF] = "memory overflow", [0xFFDF] = "configure error", [0xFFDE] = "data request error",
}

local pf = {
    mark = ProtoField.uint16("vexplc.mark", "Start mark", base.HEX),
    length = ProtoField.uint16("vexplc.length", "Length", base.DEC),
    type = ProtoField.uint16("vexplc.type", "Type", base.DEC, type_names),
    number = ProtoField.uint16("vexplc.number", "Packet number", base.DEC),
    argument = ProtoField.uint16("vexplc.argument", "Argument", base.DEC),
    version = ProtoField.uint16("vexplc.version", "Protocol version", base.DEC),
    cycle = ProtoField.uint32("vexplc.cycle", "Cycle time (ms)", base.DEC),
    count = ProtoField.uint16("vexplc.count", "Count", base.DEC),
    tail = ProtoField.uint16("vexplc.tail", "End mark", base.HEX),
    record = ProtoField.bytes("vexplc.record", "Record"),
    id = ProtoField.uint32("vexplc.id", "Data ID", base.DEC),
    datatype = ProtoField.uint8("vexplc.datatype", "Data type code", base.DEC, data_type_names),
    state = ProtoField.uint8("vexplc.state", "State", base.DEC),
    value = ProtoField.string("vexplc.value", "Value"),
    raw = ProtoField.uint32("vexplc.raw", "Value bytes", base.HEX),
    status = ProtoField.int32("vexplc.status", "Status", base.DEC),
    private = ProtoField.uint16("vexplc.private", "Private word", base.HEX),
    held = ProtoField.int32("vexplc.held", "Mold set values", base.DEC),
    alarm_byte = ProtoField.uint8("vexplc.alarm.byte", "Alarm byte", base.DEC),
    alarm_number = ProtoField.uint32("vexplc.alarm.number", "Alarm number", base.DEC),
    action = ProtoField.uint32("vexplc.action", "Action code", base.DEC),
    action_state = ProtoField.uint32("vexplc.action.state", "Action state", base.HEX),
    item = ProtoField.uint32("vexplc.item", "Item", base.HEX),
    group = ProtoField.uint16("vexplc.group", "Group", base.DEC),
    trigger_status = ProtoField.uint16("vexplc.trigger.status", "Trigger status", base.HEX,
        trigger_status_names),
    out_time = ProtoField.uint16("vexplc.trigger.outtime", "Out time", base.DEC),
    delay_time = ProtoField.uint16("vexplc.trigger.delaytime", "Delay time", base.DEC),
    send_count = ProtoField.uint16("vexplc.trigger.sendcount", "Send count", base.DEC),
    feature = ProtoField.bytes("vexplc.trigger.feature", "Feature"),
    sets = ProtoField.uint16("vexplc.trigger.sets", "Parameter sets", base.DEC),
    conditions = ProtoField.uint16("vexplc.trigger.conditions", "Conditions", base.DEC),
    condition = ProtoField.uint16("vexplc.trigger.condition", "Condition type", base.DEC),
    params = ProtoField.uint16("vexplc.trigger.params", "Parameters", base.DEC),
    param = ProtoField.uint32("vexplc.trigger.param", "Parameter", base.HEX),
    id_flag = ProtoField.uint16("vexplc.trigger.idflag", "Data ID flag", base.DEC),
    failed = ProtoField.bytes("vexplc.failed", "Failed entry"),
    error_code = ProtoField.uint16("vexplc.failed.error", "Error code", base.DEC),
    curve_state = ProtoField.uint16("vexplc.curve.state", "Curve state", base.DEC),
    reserved = ProtoField.uint16("vexplc.reserved", "Reserved", base.HEX),
    sample = ProtoField.float("vexplc.sample", "Sample"),
    payload = ProtoField.bytes("vexplc.payload", "Payload"),
}
local field_list = {}
for _, field in pairs(pf) do
    field_list[#field_list + 1] = field
end
vexplc.fields = field_list

local ef = {
    mark = ProtoExpert.new("vexplc.mark.wrong", "Wrong start mark", expert.group.MALFORMED,
        expert.severity.ERROR),
    length = ProtoExpert.new("vexplc.length.wrong", "Length field disagrees with the datagram",
        expert.group.MALFORMED, expert.severity.ERROR),
    count = ProtoExpert.new("vexplc.count.beyond", "Count beyond the datagram",
        expert.group.MALFORMED, expert.severity.ERROR),
    short = ProtoExpert.new("vexplc.short", "Short record", expert.group.MALFORMED,
        expert.severity.ERROR),
    tail = ProtoExpert.new("vexplc.tail.wrong", "Wrong end mark", expert.group.PROTOCOL,
        expert.severity.NOTE),
    unknown = ProtoExpert.new("vexplc.type.unknown", "Unknown type code", expert.group.PROTOCOL,
        expert.severity.WARN),
}
vexplc.experts = { ef.mark, ef.length, ef.count, ef.short, ef.tail, ef.unknown }

-- The value field of a record, read as its data type code says.
local function record_value(range, code)
    if code == 1 or code == 9 then
        return tostring(range(0, 1):le_int())
    elseif code == 2 or code == 3 then
        return tostring(range(0, 2):le_int())
    elseif code == 4 or code == 5 then
        return tostring(range:le_int())
    elseif code == 6 then
        return tostring(range:le_uint())
    elseif code == 7 or code == 8 then
        return string.format("%g", range:le_float())
    end
    return "(not read)"
end

-- The dissection of one datagram: its buffer, tree and the bytes the payload may use.
local Packet = {}
Packet.__index = Packet

function Packet.new(tvb, tree)
    return setmetatable({ tvb = tvb, tree = tree, size = tvb:len() }, Packet)
end

function Packet:has(offset, width)
    return offset >= 0 and offset + width <= self.size
end

function Packet:u16(offset)
    return self.tvb(offset, 2):le_uint()
end

function Packet:u32(offset)
    return self.tvb(offset, 4):le_uint()
end

function Packet:add(tree, field, offset, width)
    return tree:add_le(field, self.tvb(offset, width))
end

function Packet:expert(item, which, text)
    item:add_proto_expert_info(which, text)
end

-- How many items of `width` bytes fit between `from` and the end mark, against the `claimed`
-- count; marks a claim beyond the datagram and a trailing part record.
function Packet:fitting(from, width, claimed, count_item)
    local room = self.payload_end - from
    if room < 0 then
        room = 0
    end
    local whole = math.floor(room / width)
    if claimed ~= nil and claimed > whole then
        self:expert(count_item or self.tree, ef.count,
            string.format("Count %d claims %d bytes from offset %d; the datagram holds %d", claimed,
                claimed * width, from, room))
        return whole
    end
    if claimed == nil and room % width ~= 0 then
        self:expert(self.tree, ef.short,
            string.format("%d bytes at offset %d are short of a %d-byte record", room % width,
                from + whole * width, width))
    end
    return claimed or whole
end

-- 10-byte records: ID, data type code, state, value.
function Packet:records(from, claimed, count_item)
    local n = self:fitting(from, 10, claimed, count_item)
    for i = 0, n - 1 do
        local at = from + 10 * i
        local code = self.tvb(at + 4, 1):uint()
        local value = record_value(self.tvb(at + 6, 4), code)
        local sub = self.tree:add(pf.record, self.tvb(at, 10)):set_text(string.format(
            "Record %d: ID %d, %s (code %d) = %s", i + 1, self:u32(at),
            data_type_names[code] or "not read", code, value))
        self:add(sub, pf.id, at, 4)
        self:add(sub, pf.datatype, at + 4, 1)
        self:add(sub, pf.state, at + 5, 1)
        sub:add(pf.value, self.tvb(at + 6, 4), value)
        self:add(sub, pf.raw, at + 6, 4)
    end
    return n
end

-- Items of 4 bytes (IDs, action codes, states) as `field`.
function Packet:words(from, claimed, count_item, field)
    local n = self:fitting(from, 4, claimed, count_item)
    for i = 0, n - 1 do
        self:add(self.tree, field, from + 4 * i, 4)
    end
    return n
end

function Packet:alarms(from, claimed, count_item)
    local n = self:fitting(from, 6, claimed, count_item)
    for i = 0, n - 1 do
        local at = from + 6 * i
        local sub = self.tree:add(pf.record, self.tvb(at, 6)):set_text(string.format(
            "Alarm %d: number %d, byte %d", i + 1, self:u32(at + 2), self.tvb(at, 1):uint()))
        self:add(sub, pf.alarm_byte, at, 1)
        self:add(sub, pf.alarm_number, at + 2, 4)
    end
    return n
end

-- Datagram too short for the fixed fields of its type: marked, and the payload is not read.
function Packet:needs(bytes, what)
    if self.size >= bytes then
        return true
    end
    self:expert(self.tree, ef.short,
        string.format("%s needs %d bytes, the datagram has %d", what, bytes, self.size))
    return false
end

-- Common family: records, IDs and codes after the 12-byte head.
local common_payloads = {}

common_payloads[1] = function(p)
    local n = p:words(COMMON_HEAD, p.count, p.count_item, pf.id)
    return string.format("actual subscription, %d IDs, cycle %d ms", n, p:u16(8))
end
common_payloads[2] = function(p)
    return string.format("read parameters, %d IDs", p:words(COMMON_HEAD, p.count, p.count_item, pf.id))
end

local function record_reply(name, use_count)
    return function(p)
        local n = p:records(COMMON_HEAD, use_count and p.count or nil, p.count_item)
        return string.format("%s, %d records", name, n)
    end
end
-- Replies with values carry as many records as the payload holds; the head count is not read.
common_payloads[1001] = record_reply("actual values", false)
common_payloads[1002] = record_reply("parameter values", false)
common_payloads[1003] = record_reply("parameters written", false)
common_payloads[3] = record_reply("write parameters", true)
common_payloads[9] = record_reply("mold set pack", true)

common_payloads[1009] = function(p)
    return string.format("mold set ack, %d records", p.count)
end

common_payloads[6] = function(p)
    return string.format("actions, %d codes", p:words(COMMON_HEAD, p.count, p.count_item, pf.action))
end
common_payloads[1006] = function(p)
    return string.format("action states, %d",
        p:words(COMMON_HEAD, p.count, p.count_item, pf.action_state))
end

common_payloads[1004] = function(p)
    local n = p:alarms(COMMON_HEAD, p.count, p.count_item)
    if n == 0 then
        return "alarm, 0 records"
    end
    return string.format("alarm %d byte %d, %d records", p:u32(14), p.tvb(12, 1):uint(), n)
end
common_payloads[2004] = function(p)
    if p:alarms(COMMON_HEAD, p.count, p.count_item) == 0 then
        return "alarm answer"
    end
    return string.format("alarm answer %d", p:u32(14))
end

common_payloads[5] = function(p)
    local n = p:words(COMMON_HEAD, p.count, p.count_item, pf.item)
    return string.format("curve request, %d items", n)
end

common_payloads[7] = function(p)
    if not p:needs(20, "A line status request") then
        return "line status request"
    end
    p:add(p.tree, pf.cycle, 12, 4)
    p:add(p.tree, pf.private, 16, 2)
    return string.format("line status request v%d, cycle %d ms", p:u16(8), p:u32(12))
end
common_payloads[1007] = function(p)
    if not p:needs(20, "A line status reply") then
        return "line status"
    end
    p:add(p.tree, pf.status, 12, 4)
    p:add(p.tree, pf.private, 16, 2)
    return string.format("line status %d", p.tvb(12, 4):le_int())
end

common_payloads[8] = function(p)
    if not p:needs(18, "A mold set status request") then
        return "mold set status request"
    end
    p:add(p.tree, pf.held, 12, 4)
    return string.format("mold set status request, %d values", p.tvb(12, 4):le_int())
end
common_payloads[1008] = function(p)
    if not p:needs(18, "A mold set status reply") then
        return "mold set status"
    end
    p:add(p.tree, pf.held, 12, 4)
    return string.format("mold set status, holds %d", p.tvb(12, 4):le_int())
end

local function can_transmit(p)
    if p.payload_end > COMMON_HEAD then
        p:add(p.tree, pf.payload, COMMON_HEAD, p.payload_end - COMMON_HEAD)
    end
    return type_names[p.type]
end
common_payloads[15], common_payloads[16] = can_transmit, can_transmit
common_payloads[1015], common_payloads[1016] = can_transmit, can_transmit
common_payloads[1005] = can_transmit

-- Trigger family: the payload starts right after the 8-byte head.

-- One feature: P parameter sets of C conditions, each a type and Q 32-bit parameters. Returns
-- the offset after it, or nil when the datagram ends inside it.
function Packet:feature(at, name)
    local start = at
    local sub = self.tree:add(pf.feature, self.tvb(at, 0)):set_text(name)
    local function take(width, field, tree, what)
        if at + width > self.payload_end then
            self:expert(tree, ef.short, string.format("%s ends inside its %s", name, what))
            return nil
        end
        local item = self:add(tree, field, at, width)
        local value = self.tvb(at, width):le_uint()
        at = at + width
        return value, item
    end
    local sets = take(2, pf.sets, sub, "parameter set count")
    if sets == nil then
        return nil
    end
    for s = 1, sets do
        local conditions = take(2, pf.conditions, sub, "condition count of set " .. s)
        if conditions == nil then
            return nil
        end
        for _ = 1, conditions do
            if take(2, pf.condition, sub, "condition type") == nil then
                return nil
            end
            local q = take(2, pf.params, sub, "parameter count")
            if q == nil then
                return nil
            end
            for _ = 1, q do
                if take(4, pf.param, sub, "parameters") == nil then
                    return nil
                end
            end
        end
    end
    sub:set_len(at - start)
    sub:append_text(string.format(": %d parameter sets", sets))
    return at
end

local trigger_payloads = {}

trigger_payloads[17] = function(p)
    if not p:needs(16 + TAIL, "A trigger definition") then
        return "trigger definition"
    end
    p.group_item = p:add(p.tree, pf.group, 8, 2)
    p:add(p.tree, pf.out_time, 10, 2)
    p:add(p.tree, pf.delay_time, 12, 2)
    p:add(p.tree, pf.send_count, 14, 2)
    local text = string.format("trigger definition group %d", p:u16(8))
    local at = 16
    for _, name in ipairs({ "Start feature", "Send feature", "Stop feature" }) do
        at = p:feature(at, name)
        if at == nil then
            return text
        end
    end
    if at + 4 > p.payload_end then
        p:expert(p.tree, ef.short, "The data ID flag and count do not fit")
        return text
    end
    p:add(p.tree, pf.id_flag, at, 2)
    local count_item = p:add(p.tree, pf.count, at + 2, 2)
    local n = p:words(at + 4, p:u16(at + 2), count_item, pf.id)
    return string.format("%s, %d data IDs", text, n)
end

trigger_payloads[1017] = function(p)
    if not p:needs(16, "A trigger ack") then
        return "trigger ack"
    end
    p.group_item = p:add(p.tree, pf.group, 8, 2)
    p:add(p.tree, pf.trigger_status, 10, 2)
    local count_item = p:add(p.tree, pf.count, 12, 2)
    local n = p:fitting(14, 6, p:u16(12), count_item)
    for i = 0, n - 1 do
        local at = 14 + 6 * i
        local sub = p.tree:add(pf.failed, p.tvb(at, 6)):set_text(string.format(
            "Failed: ID %d, error %d", p:u32(at), p:u16(at + 4)))
        p:add(sub, pf.id, at, 4)
        p:add(sub, pf.error_code, at + 4, 2)
    end
    local text = string.format("trigger ack group %d", p:u16(8))
    local status = trigger_status_names[p:u16(10)]
    if status ~= nil then
        text = text .. ", " .. status
    end
    if n > 0 then
        text = string.format("%s, %d failed", text, n)
    end
    return text
end

trigger_payloads[2018] = function(p)
    if not p:needs(TRIGGER_HEAD + 2 + TAIL, "A trigger confirmation") then
        return "trigger confirmation"
    end
    p.group_item = p:add(p.tree, pf.group, 8, 2)
    return string.format("trigger confirmation group %d", p:u16(8))
end

trigger_payloads[1018] = function(p)
    if not p:needs(16, "Triggered data") then
        return "triggered data"
    end
    local group = p:u16(8)
    p.group_item = p:add(p.tree, pf.group, 8, 2)
    p:add(p.tree, pf.curve_state, 10, 2)
    p:add(p.tree, pf.reserved, 12, 2)
    local count_item = p:add(p.tree, pf.count, 14, 2)
    if group >= 100 then
        local n = p:fitting(16, 4, p:u16(14), count_item)
        for i = 0, n - 1 do
            p:add(p.tree, pf.sample, 16 + 4 * i, 4)
        end
        local text = string.format("curve group %d, %d samples", group, n)
        if p:u16(10) == 3 then
            text = text .. ", last"
        end
        return text
    end
    -- The value's type is the host's knowledge (its item dictionary), not on the wire.
    local n = p:fitting(16, 8, p:u16(14), count_item)
    for i = 0, n - 1 do
        local at = 16 + 8 * i
        local range = p.tvb(at + 4, 4)
        local value = string.format("0x%08x (int %d, float %g)", range:le_uint(), range:le_int(),
            range:le_float())
        local sub = p.tree:add(pf.record, p.tvb(at, 8)):set_text(string.format(
            "Item %d: ID %d = %s", i + 1, p:u32(at), value))
        p:add(sub, pf.id, at, 4)
        sub:add(pf.value, range, value)
        p:add(sub, pf.raw, at + 4, 4)
    end
    return string.format("triggered data group %d, %d items", group, n)
end

-- The end mark, shown after the payload.
function Packet:tail()
    local item = self:add(self.tree, pf.tail, self.payload_end, 2)
    if self:u16(self.payload_end) ~= TAIL_MARK then
        self:expert(item, ef.tail,
            string.format("End mark 0x%04x, expected 0x%04x", self:u16(self.payload_end), TAIL_MARK))
    end
end

-- The head and the length; sets p.type, p.count and p.payload_end. False when the datagram is too
-- short for the head and the end mark.
function Packet:head(head_size)
    local tree = self.tree
    local mark_item = self:add(tree, pf.mark, 0, 2)
    local length_item = self:add(tree, pf.length, 2, 2)
    self:add(tree, pf.type, 4, 2)
    self:add(tree, pf.number, 6, 2)
    self.type = self:u16(4)
    local expected = (self.type >= 1000 and self.type < 2000) and PLC_MARK or HOST_MARK
    if self:u16(0) ~= expected then
        self:expert(mark_item, ef.mark,
            string.format("Start mark 0x%04x; a %s starts with 0x%04x", self:u16(0),
                expected == PLC_MARK and "PLC reply" or "host packet", expected))
    end
    if self:u16(2) ~= self.size then
        self:expert(length_item, ef.length,
            string.format("Length field %d, datagram %d bytes", self:u16(2), self.size))
    end
    if head_size == COMMON_HEAD and self:has(8, 4) then
        if self.type == 7 then
            self:add(tree, pf.version, 8, 2)
        else
            self:add(tree, pf.argument, 8, 2)
        end
        self.count_item = self:add(tree, pf.count, 10, 2)
        self.count = self:u16(10)
    end
    -- The payload ends before the end mark when there is room for one after the head.
    self.payload_end = self.size
    if self.size >= head_size + TAIL then
        self.payload_end = self.size - TAIL
        return true
    end
    self:expert(tree, ef.short,
        string.format("%d bytes: shorter than a %d-byte head and the end mark", self.size,
            head_size))
    return false
end

local function dissect(tvb, pinfo, tree)
    if tvb:len() < 8 then
        return 0
    end
    pinfo.cols.protocol = "VEXPLC"
    local root = tree:add(vexplc, tvb())
    local p = Packet.new(tvb, root)
    local code = tvb(4, 2):le_uint()
    local family = trigger_family[code] and TRIGGER_HEAD or COMMON_HEAD
    local info
    if p:head(family) then
        local decode = (family == TRIGGER_HEAD and trigger_payloads or common_payloads)[code]
        if decode ~= nil then
            info = decode(p)
        else
            p:expert(root, ef.unknown, string.format("Type code %d is no vexplc packet type", code))
            info = string.format("type %d", code)
        end
        p:tail()
    else
        info = (type_names[code] or string.format("type %d", code)) .. ", too short"
    end
    root:append_text(", " .. info)
    pinfo.cols.info = info
    return tvb:len()
end

function vexplc.dissector(tvb, pinfo, tree)
    return dissect(tvb, pinfo, tree)
end

-- Ports of the common file's endpoints; the example's by default.
vexplc.prefs.ports = Pref.range("UDP ports", "30001-30002",
    "UDP ports of the host and PLC endpoints of the common file", 65535)

local udp_ports = DissectorTable.get("udp.port")
local registered_ports = vexplc.prefs.ports

function vexplc.prefs_changed()
    udp_ports:remove(registered_ports, vexplc)
    registered_ports = vexplc.prefs.ports
    udp_ports:add(registered_ports, vexplc)
end

udp_ports:add(registered_ports, vexplc)

-- Other ports: a datagram that starts with either start mark and names a known type.
local function heuristic(tvb, pinfo, tree)
    if tvb:len() < TRIGGER_HEAD + TAIL then
        return false
    end
    local mark = tvb(0, 2):le_uint()
    if (mark ~= HOST_MARK and mark ~= PLC_MARK) or type_names[tvb(4, 2):le_uint()] == nil then
        return false
    end
    dissect(tvb, pinfo, tree)
    return true
end

vexplc:register_heuristic("udp", heuristic)
