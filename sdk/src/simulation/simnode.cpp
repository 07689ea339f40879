#include "simnode.h"

#include "../rangetext.h"
#include "bgapi2_genicam/bgapi2_exceptions.h"

namespace BGAPI2 {
namespace sim {

// A camera that went away answers no feature access.
void SimNode::reach(const char* operation) const {
    if (reachable != nullptr && !reachable->load()) {
        throw Exceptions::LowLevelException("camera is not reachable (feature '" + m_name + "')",
                                            operation);
    }
}

void SimNode::refuse(const char* operation) const {
    throw Exceptions::NotAvailableException(
        "feature '" + m_name + "' (" + m_kind + ") does not support this access", operation);
}

std::string SimNode::getString() {
    reach("Node::GetString");
    if (!onGetString)
        refuse("Node::GetString");
    return onGetString();
}

void SimNode::setString(const std::string& value) {
    reach("Node::SetString");
    if (!onSetString)
        refuse("Node::SetString");
    onSetString(value);
}

std::int64_t SimNode::getInt() {
    reach("Node::GetInt");
    if (!onGetInt)
        refuse("Node::GetInt");
    return onGetInt();
}

void SimNode::setInt(std::int64_t) {
    reach("Node::SetInt");
    refuse("Node::SetInt");
}

double SimNode::getDouble() {
    reach("Node::GetDouble");
    if (!onGetDouble)
        refuse("Node::GetDouble");
    return onGetDouble();
}

void SimNode::setDouble(double value) {
    reach("Node::SetDouble");
    if (!onSetDouble)
        refuse("Node::SetDouble");
    if (!(value >= minimum && value <= maximum)) {
        throw Exceptions::OutOfRangeException(outsideRangeText(value, minimum, maximum, m_name),
                                              "Node::SetDouble");
    }
    onSetDouble(value);
}

double SimNode::getDoubleMin() {
    reach("Node::GetDoubleMin");
    if (!onGetDouble)
        refuse("Node::GetDoubleMin");
    return minimum;
}

double SimNode::getDoubleMax() {
    reach("Node::GetDoubleMax");
    if (!onGetDouble)
        refuse("Node::GetDoubleMax");
    return maximum;
}

void SimNode::execute() {
    reach("Node::Execute");
    if (!onExecute)
        refuse("Node::Execute");
    onExecute();
}

std::vector<std::string> SimNode::enumEntries() {
    reach("Node::GetEnumNodeList");
    if (!onEntries)
        refuse("Node::GetEnumNodeList");
    return onEntries();
}

}  // namespace sim
}  // namespace BGAPI2
