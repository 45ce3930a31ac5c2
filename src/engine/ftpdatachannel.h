#pragma once

#include "tidconnectioninterceptopenssl.h"
#include "tidftp.h"

#include <memory>

// The data connection of a running transfer. The TLS layer is declared
// first so that it outlives the connection that uses it.
struct TIdFTP::DataChannel {
    std::unique_ptr<TIdConnectionInterceptOpenSSL> tls;
    std::unique_ptr<TIdTCPConnection> connection;
};

// How far the running transfer has got: what the server still owes for it,
// and whether it is being stopped.
struct TIdFTP::TransferState {
    enum class Phase {
        Preparing,   // PASV or PORT; the command has not gone out
        CommandSent, // the preliminary reply is still to come
        Running,     // the server said 1xx; its final reply is still to come
        Answered,    // the server has said all it will say about the command
    };
    Phase phase = Phase::Preparing;
    qint64 restartAt = 0;        // REST offset sent before the command; 0 for none
    bool abortRequested = false; // by the user, through Abort
    bool aborCommandSent = false;

    bool OwesReplies() const { return phase == Phase::CommandSent || phase == Phase::Running; }
};
