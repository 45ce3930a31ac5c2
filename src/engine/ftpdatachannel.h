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
