#pragma once
// MFE messages sent on behalf of the exports.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/frame.h"
#include "codec/received_body.h"
#include "kovo_base/connection_error.h"

namespace tavik::mfe {

// Exchanges one MFE request for its answer, kept as received (its text in
// one buffer). A present session is registered before any contact with the
// device; without one nothing is registered.
kovo_base::Result<codec::ReceivedMfeBody> send_mfe_message(std::optional<std::int32_t> session, codec::MfeMessageType kind,
                                                    std::vector<std::string> contents);

// Registers session first, then exchanges one MFE request and its answer,
// rendered as the result text.
kovo_base::Result<std::string> send_mfe_command(std::int32_t session, codec::MfeMessageType kind,
                                                std::vector<std::string> arguments);

}  // namespace tavik::mfe
