// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/storeerror.h"

namespace store {

std::string cutMessage(const std::string& message)
{
    return message.size() > MaxMessageLength ? message.substr(0, MaxMessageLength) : message;
}

StoreError::StoreError(const std::string& message) : std::runtime_error(cutMessage(message)) {}

}  // namespace store
