#pragma once

#include "bgapi2_string.h"

namespace BGAPI2 {
namespace Exceptions {

// Every SDK failure is thrown as one of the kinds below and caught as
// IException&. The accessors' slot order after the destructor is fixed:
// description, function name, type.
class BGAPI2_API IException {
public:
    virtual ~IException();
    virtual String GetErrorDescription() = 0;
    virtual String GetFunctionName() = 0;
    virtual String GetType() = 0;
};

class BGAPI2_API Exception : public IException {
public:
    Exception(String type, String description, String function);
    ~Exception() override;
    String GetErrorDescription() override;
    String GetFunctionName() override;
    String GetType() override;

private:
    String m_type;
    String m_description;
    String m_function;
};

#define BGAPI2_EXCEPTION_KIND(Name, TypeText)                                            \
    class BGAPI2_API Name : public Exception {                                           \
    public:                                                                              \
        Name(String description, String function)                                        \
            : Exception(TypeText, std::move(description), std::move(function)) {}        \
        Name(String type, String description, String function)                           \
            : Exception(std::move(type), std::move(description), std::move(function)) {} \
    }

BGAPI2_EXCEPTION_KIND(ErrorException, "ErrorException");
BGAPI2_EXCEPTION_KIND(NotAvailableException, "NotAvailableException");
BGAPI2_EXCEPTION_KIND(InvalidParameterException, "InvalidParameterException");
BGAPI2_EXCEPTION_KIND(ResourceInUseException, "ResourceInUseException");
BGAPI2_EXCEPTION_KIND(NotImplementedException, "NotImplementedException");
BGAPI2_EXCEPTION_KIND(LowLevelException, "LowLevelException");
BGAPI2_EXCEPTION_KIND(ObjectInvalidException, "ObjectInvalidException");
BGAPI2_EXCEPTION_KIND(AccessDeniedException, "AccessDeniedException");
BGAPI2_EXCEPTION_KIND(OutOfRangeException, "OutOfRangeException");

#undef BGAPI2_EXCEPTION_KIND

}  // namespace Exceptions
}  // namespace BGAPI2
