// SPDX-License-Identifier: MIT
#include "vexsocket_p.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#endif

#include <utility>

using Orrery::vexsocket::Handle;
using Orrery::vexsocket::kInvalid;
using Orrery::vexsocket::Native;
using Orrery::vexsocket::openUdp;

namespace {

// Asks the system whether `socket` still names an open socket. The test opens nothing else in
// between, so a closed number is not handed out again before it is asked about.
bool isOpen(Native socket)
{
#ifdef _WIN32
    int type = 0;
    int length = sizeof(type);
    return ::getsockopt(socket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length) == 0;
#else
    return ::fcntl(socket, F_GETFD) != -1;
#endif
}

// A fresh socket that the test itself closes unless a handle took it.
Native open()
{
    const Native socket = openUdp();
    EXPECT_NE(socket, kInvalid);
    EXPECT_TRUE(isOpen(socket));
    return socket;
}

TEST(VexSocketHandleTest, ClosesItsSocketWhenDestroyedOrResetNotWhenReleased)
{
    const Native first = open();
    {
        const Handle handle(first);
        EXPECT_EQ(handle.get(), first);
        EXPECT_TRUE(handle.isValid());
    }
    EXPECT_FALSE(isOpen(first)) << "destruction closes";

    const Native second = open();
    const Native third = open();
    Handle handle(second);
    handle.reset(second);
    EXPECT_TRUE(isOpen(second)) << "taking the socket it holds keeps it";
    handle.reset(third);
    EXPECT_FALSE(isOpen(second)) << "taking another closes the one held";
    EXPECT_EQ(handle.get(), third);
    handle.reset();
    EXPECT_FALSE(isOpen(third));
    EXPECT_FALSE(handle.isValid());
    EXPECT_FALSE(Handle().isValid());

    // Release hands the socket over open.
    const Native socket = open();
    Native released = kInvalid;
    {
        Handle handle(socket);
        released = handle.release();
        EXPECT_FALSE(handle.isValid());
        EXPECT_EQ(handle.release(), kInvalid);
    }
    EXPECT_EQ(released, socket);
    EXPECT_TRUE(isOpen(socket)) << "a released socket belongs to the caller";
    Orrery::vexsocket::close(socket);
    EXPECT_FALSE(isOpen(socket));
}

TEST(VexSocketHandleTest, MovingTransfersOwnershipAndClosesWhatTheTargetHeld)
{
    const Native moved = open();
    const Native replaced = open();
    Handle source(moved);
    Handle constructed(std::move(source));
    EXPECT_FALSE(source.isValid()); // NOLINT(bugprone-use-after-move): the moved-from state
    EXPECT_EQ(constructed.get(), moved);

    Handle target(replaced);
    target = std::move(constructed);
    EXPECT_FALSE(isOpen(replaced)) << "assignment closes the target's own socket";
    EXPECT_TRUE(isOpen(moved));
    EXPECT_FALSE(constructed.isValid()); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(target.get(), moved);

    target = Handle();
    EXPECT_FALSE(isOpen(moved));
}

} // namespace
