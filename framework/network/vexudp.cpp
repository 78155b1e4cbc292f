// SPDX-License-Identifier: MIT
#include "vexudp.h"
#include "vexsocket_p.h"
#include "vexthread_p.h"
#include "vexudp_p.h"

#include <asio/post.hpp>

namespace Orrery {

namespace {

// The largest payload of a UDP datagram over IPv4.
constexpr long long kMaxDatagram = 65507;

sockaddr_in socketAddress(const CvexAddress& address, unsigned short port)
{
    sockaddr_in native{};
    native.sin_family = AF_INET;
    native.sin_port = htons(port);
    native.sin_addr.s_addr = htonl(address.isNull() ? INADDR_ANY : address.toIPv4Address());
    return native;
}

} // namespace

CvexUdpPrivate::~CvexUdpPrivate()
{
    closeLocked();
}

bool CvexUdpPrivate::bind(const CvexAddress& address, unsigned short port, bool exclusive)
{
    Watch started;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        if (address.isNull()) {
            _error = vexsocket::kAddressNotAvailable;
            return false;
        }
        // Binding again moves the socket to the new endpoint.
        closeLocked();
        vexsocket::Handle socket(vexsocket::openUdp());
        if (!socket.isValid()) {
            _error = vexsocket::lastError();
            return false;
        }
        sockaddr_in bound{};
        if (!vexsocket::bind(socket.get(), socketAddress(address, port), exclusive, &bound)) {
            _error = vexsocket::lastError();
            return false;
        }
        _socket = std::move(socket);
        _bound = true;
        _localAddress = CvexAddress(ntohl(bound.sin_addr.s_addr));
        _localPort = ntohs(bound.sin_port);
        started = rebindLocked(_thread);
    }
    postWatch(started);
    return true;
}

void CvexUdpPrivate::close()
{
    const std::lock_guard<std::mutex> lock(_mutex);
    closeLocked();
}

void CvexUdpPrivate::bindTo(CvexThread* thread)
{
    Watch started;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        started = rebindLocked(thread);
    }
    postWatch(started);
}

void CvexUdpPrivate::detachOwner()
{
    {
        const std::lock_guard<std::recursive_mutex> lock(_emitMutex);
        q = nullptr;
    }
    close();
}

int CvexUdpPrivate::error() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _error;
}

bool CvexUdpPrivate::isBound() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _bound;
}

CvexAddress CvexUdpPrivate::localAddress() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _localAddress;
}

unsigned short CvexUdpPrivate::localPort() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _localPort;
}

long long CvexUdpPrivate::pendingDatagramSize() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _socket.isValid() ? vexsocket::peekSize(_socket.get()) : -1;
}

long long CvexUdpPrivate::readDatagram(char* data, long long maxSize, CvexAddress* address,
                                       unsigned short* port)
{
    if (maxSize < 0 || (!data && maxSize > 0))
        return -1;
    const std::lock_guard<std::mutex> lock(_mutex);
    if (!_socket.isValid())
        return -1;
    char none = 0;
    char* buffer = data ? data : &none;
    const auto capacity = static_cast<std::size_t>(maxSize < kMaxDatagram ? maxSize : kMaxDatagram);
    sockaddr_in sender{};
    const long long size = vexsocket::receiveFrom(_socket.get(), buffer, capacity, &sender);
    if (size < 0)
        return -1;
    if (address)
        *address = CvexAddress(ntohl(sender.sin_addr.s_addr));
    if (port)
        *port = ntohs(sender.sin_port);
    return size;
}

long long CvexUdpPrivate::writeDatagram(const char* data, long long size,
                                        const CvexAddress& address, unsigned short port)
{
    if (size < 0 || size > kMaxDatagram || (!data && size > 0) || address.isNull())
        return -1;
    Watch started;
    long long sent = -1;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        const bool created = !_socket.isValid();
        if (!ensureSocket())
            return -1;
        if (created)
            started = rebindLocked(_thread);
        const char none = 0;
        sent = vexsocket::sendTo(_socket.get(), data ? data : &none, static_cast<std::size_t>(size),
                                 socketAddress(address, port));
        if (sent < 0)
            _error = vexsocket::lastError();
    }
    postWatch(started);
    return sent < 0 ? -1 : sent;
}

// A socket that sends before it was bound gets a descriptor of its own; the system picks its
// port with the first datagram, and replies to it are received as on a bound socket.
bool CvexUdpPrivate::ensureSocket()
{
    if (!_socket.isValid())
        _socket.reset(vexsocket::openUdp());
    return _socket.isValid();
}

void CvexUdpPrivate::closeLocked()
{
    _socket.reset();
    _bound = false;
    _localAddress = CvexAddress();
    _localPort = 0;
    _binding.reset();
    _resting = false;
    ++_generation;
}

CvexUdpPrivate::Watch CvexUdpPrivate::rebindLocked(CvexThread* thread)
{
    _thread = thread;
    _binding.reset();
    _resting = false;
    ++_generation;
    std::shared_ptr<asio::io_context> loop = vexEventContext(thread);
    if (_socket.isValid() && loop) {
        vexsocket::Handle duplicate(vexsocket::duplicate(_socket.get()));
        if (duplicate.isValid()) {
            auto binding = std::make_shared<CvexUdpBinding>(std::move(loop));
            std::error_code error;
            binding->assign(duplicate.get(), error);
            // The loop's descriptor owns the duplicate once it took it.
            if (!error) {
                duplicate.release();
                _binding = std::move(binding);
            }
        }
    }
    return {_binding, _generation};
}

bool CvexUdpPrivate::isCurrent(const Watch& watch) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _generation == watch.generation && _binding && _binding == watch.binding.lock();
}

// The descriptor is touched only in its loop's thread, so watching always starts there. The
// first round looks for datagrams that arrived before the watch began.
void CvexUdpPrivate::postWatch(const Watch& watch)
{
    const std::shared_ptr<CvexUdpBinding> binding = watch.binding.lock();
    if (!binding)
        return;
    asio::post(*binding->context, [self = weak_from_this(), watch] {
        if (const auto d = self.lock())
            d->onReadable(watch);
    });
}

// The loop's readiness reports only new arrivals, so datagrams left after the handlers ran are
// found by asking the socket itself; they bring "readyRead" again on the next turn of the loop.
void CvexUdpPrivate::watch(const std::shared_ptr<CvexUdpBinding>& binding, const Watch& watch)
{
    const auto onReady = [self = weak_from_this(), watch](const std::error_code& error) {
        const auto d = self.lock();
        if (!error && d)
            d->onReadable(watch, true);
    };
    binding->descriptor.async_wait(CvexUdpBinding::Descriptor::wait_read, onReady);
}

void CvexUdpPrivate::onReadable(const Watch& current, bool announced)
{
    if (!isCurrent(current))
        return;
    const bool waiting = announced || pendingDatagramSize() >= 0;
    if (waiting && !emitReadyRead()) {
        rest(current);
        return;
    }
    const std::shared_ptr<CvexUdpBinding> binding = current.binding.lock();
    if (!binding || !isCurrent(current))
        return;
    if (waiting && pendingDatagramSize() >= 0) {
        asio::post(*binding->context, [self = weak_from_this(), current] {
            if (const auto d = self.lock())
                d->onReadable(current);
        });
        return;
    }
    watch(binding, current);
}

// Waiting for readiness re-arms the descriptor, which reports a waiting datagram at once: with
// nobody to read it the loop would spin. The watch rests until a listener connects; one that
// connected while the watch was being put to rest found it still running, so it is looked for
// once more here.
void CvexUdpPrivate::rest(const Watch& current)
{
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        if (_generation != current.generation)
            return;
        _resting = true;
    }
    if (hasListener())
        resume();
}

void CvexUdpPrivate::resume()
{
    Watch resumed;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        if (!_resting)
            return;
        _resting = false;
        resumed = {_binding, _generation};
    }
    postWatch(resumed);
}

bool CvexUdpPrivate::hasListener()
{
    const std::lock_guard<std::recursive_mutex> lock(_emitMutex);
    return q && q->receivers("readyRead") > 0;
}

bool CvexUdpPrivate::emitReadyRead()
{
    const std::lock_guard<std::recursive_mutex> lock(_emitMutex);
    if (!q || q->receivers("readyRead") == 0)
        return false;
    q->emitSignal("readyRead");
    return true;
}

CvexUdp::CvexUdp(CvexObject* parent)
    : CvexObject(parent), d_ptr(std::make_shared<CvexUdpPrivate>(this))
{
    d_ptr->bindTo(thread());
}

CvexUdp::~CvexUdp()
{
    d_ptr->detachOwner();
}

bool CvexUdp::bind(const CvexAddress& address, unsigned short port, bool exclusive)
{
    return d_ptr->bind(address, port, exclusive);
}

void CvexUdp::close()
{
    d_ptr->close();
}

bool CvexUdp::isBound() const
{
    return d_ptr->isBound();
}

int CvexUdp::error() const
{
    return d_ptr->error();
}

std::string CvexUdp::errorString() const
{
    const int error = d_ptr->error();
    return error == 0 ? std::string() : vexsocket::errorText(error);
}

CvexAddress CvexUdp::localAddress() const
{
    return d_ptr->localAddress();
}

unsigned short CvexUdp::localPort() const
{
    return d_ptr->localPort();
}

bool CvexUdp::hasPendingDatagrams() const
{
    return d_ptr->pendingDatagramSize() >= 0;
}

long long CvexUdp::pendingDatagramSize() const
{
    return d_ptr->pendingDatagramSize();
}

long long CvexUdp::readDatagram(char* data, long long maxSize, CvexAddress* address,
                                unsigned short* port)
{
    return d_ptr->readDatagram(data, maxSize, address, port);
}

long long CvexUdp::writeDatagram(const char* data, long long size, const CvexAddress& address,
                                 unsigned short port)
{
    return d_ptr->writeDatagram(data, size, address, port);
}

long long CvexUdp::writeDatagram(const CvexByteArray& datagram, const CvexAddress& address,
                                 unsigned short port)
{
    return d_ptr->writeDatagram(datagram.constData(), datagram.size(), address, port);
}

void CvexUdp::threadChangeEvent(CvexThread* thread)
{
    d_ptr->bindTo(thread);
}

void CvexUdp::connectNotify(const std::string& signal)
{
    if (signal == "readyRead")
        d_ptr->resume();
}

} // namespace Orrery
