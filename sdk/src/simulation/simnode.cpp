#include "simnode.h"

#include "bgapi2_genicam/bgapi2_exceptions.h"

namespace BGAPI2 {
namespace sim {

void SimNode::refuse(const char* operation) const {
    throw Exceptions::NotAvailableException(
        "feature '" + m_name + "' (" + m_kind + ") does not support this access", operation);
}

std::string SimNode::getString() {
    if (!onGetString)
        refuse("Node::GetString");
    return onGetString();
}

void SimNode::setString(const std::string& value) {
    if (!onSetString)
        refuse("Node::SetString");
    onSetString(value);
}

std::int64_t SimNode::getInt() {
    if (!onGetInt)
        refuse("Node::GetInt");
    return onGetInt();
}

void SimNode::setInt(std::int64_t) {
    refuse("Node::SetInt");
}

double SimNode::getDouble() {
    if (!onGetDouble)
        refuse("Node::GetDouble");
    return onGetDouble();
}

void SimNode::setDouble(double value) {
    if (!onSetDouble)
        refuse("Node::SetDouble");
    if (!(value >= minimum && value <= maximum)) {
        throw Exceptions::InvalidParameterException(
            "value " + std::to_string(value) + " is outside the limits of '" + m_name + "'",
            "Node::SetDouble");
    }
    onSetDouble(value);
}

double SimNode::getDoubleMin() {
    if (!onGetDouble)
        refuse("Node::GetDoubleMin");
    return minimum;
}

double SimNode::getDoubleMax() {
    if (!onGetDouble)
        refuse("Node::GetDoubleMax");
    return maximum;
}

void SimNode::execute() {
    if (!onExecute)
        refuse("Node::Execute");
    onExecute();
}

std::vector<std::string> SimNode::enumEntries() {
    if (!onEntries)
        refuse("Node::GetEnumNodeList");
    return onEntries();
}

}  // namespace sim
}  // namespace BGAPI2
