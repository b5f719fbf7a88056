#include "platform/Exception.h"

#include <utility>

#include "platform/Text.h"

namespace quillora {

Exception::Exception(std::u16string message)
    : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

}  // namespace quillora
