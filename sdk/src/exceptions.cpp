#include "bgapi2_genicam/bgapi2_exceptions.h"

namespace BGAPI2 {
namespace Exceptions {

IException::~IException() = default;

Exception::Exception(String type, String description, String function)
    : m_type(std::move(type)),
      m_description(std::move(description)),
      m_function(std::move(function)) {}

Exception::~Exception() = default;

String Exception::GetErrorDescription() {
    return m_description;
}
String Exception::GetFunctionName() {
    return m_function;
}
String Exception::GetType() {
    return m_type;
}

}  // namespace Exceptions
}  // namespace BGAPI2
