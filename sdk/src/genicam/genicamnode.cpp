#include <arv.h>

#include <string>

#include "../rangetext.h"
#include "bgapi2_genicam/bgapi2_exceptions.h"
#include "genicamdevice.h"

namespace BGAPI2 {
namespace genicam {
namespace {

// A feature of an Aravis device, addressed by name on every access.
class GenNode : public Backend::NodeBackend {
public:
    GenNode(std::shared_ptr<GenDevice> device, std::string name, std::string kind)
        : m_device(std::move(device)), m_name(std::move(name)), m_kind(std::move(kind)) {}

    std::string name() const override { return m_name; }
    std::string kind() const override { return m_kind; }

    std::string getString() override {
        GError* error = nullptr;
        const char* value = arv_device_get_string_feature_value(dev(), m_name.c_str(), &error);
        throwOnError(error, "Node::GetString");
        return value != nullptr ? value : "";
    }
    void setString(const std::string& value) override {
        GError* error = nullptr;
        arv_device_set_string_feature_value(dev(), m_name.c_str(), value.c_str(), &error);
        throwOnError(error, "Node::SetString");
    }
    std::int64_t getInt() override {
        GError* error = nullptr;
        const gint64 value = arv_device_get_integer_feature_value(dev(), m_name.c_str(), &error);
        throwOnError(error, "Node::GetInt");
        return value;
    }
    void setInt(std::int64_t value) override {
        requireKind("IInteger", "Node::SetInt");
        checkIntRange(value);
        GError* error = nullptr;
        arv_device_set_integer_feature_value(dev(), m_name.c_str(), value, &error);
        throwOnError(error, "Node::SetInt");
    }
    double getDouble() override {
        GError* error = nullptr;
        const double value = arv_device_get_float_feature_value(dev(), m_name.c_str(), &error);
        throwOnError(error, "Node::GetDouble");
        return value;
    }
    void setDouble(double value) override {
        requireKind("IFloat", "Node::SetDouble");
        const auto [minimum, maximum] = bounds();
        if (!(value >= minimum && value <= maximum)) {
            throw Exceptions::OutOfRangeException(outsideRangeText(value, minimum, maximum, m_name),
                                                  "Node::SetDouble");
        }
        GError* error = nullptr;
        arv_device_set_float_feature_value(dev(), m_name.c_str(), value, &error);
        throwOnError(error, "Node::SetDouble");
    }
    double getDoubleMin() override { return bounds().first; }
    double getDoubleMax() override { return bounds().second; }
    void execute() override {
        GError* error = nullptr;
        arv_device_execute_command(dev(), m_name.c_str(), &error);
        throwOnError(error, "Node::Execute");
    }
    std::vector<std::string> enumEntries() override {
        GError* error = nullptr;
        guint count = 0;
        const char** values = arv_device_dup_available_enumeration_feature_values_as_strings(
            dev(), m_name.c_str(), &count, &error);
        throwOnError(error, "Node::GetEnumNodeList");
        std::vector<std::string> entries(values, values + count);
        g_free(values);
        return entries;
    }

private:
    ArvDevice* dev() { return m_device->arvDevice(); }

    // A write of the wrong type would be converted by the camera, not refused.
    void requireKind(const char* kind, const char* function) {
        if (m_kind != kind) {
            throw Exceptions::InvalidParameterException(
                "feature '" + m_name + "' is an " + m_kind + ", not an " + kind, function);
        }
    }

    // The camera stores whatever it is sent: 100000 in a 16-bit field, or -5
    // in an unsigned one. Refuse values outside the feature's range and step.
    void checkIntRange(std::int64_t value) {
        GError* error = nullptr;
        gint64 minimum = 0;
        gint64 maximum = 0;
        arv_device_get_integer_feature_bounds(dev(), m_name.c_str(), &minimum, &maximum, &error);
        throwOnError(error, "Node::SetInt");
        const gint64 step = arv_device_get_integer_feature_increment(dev(), m_name.c_str(), &error);
        throwOnError(error, "Node::SetInt");
        const bool inRange = value >= minimum && value <= maximum;
        if (inRange && (step <= 1 || (value - minimum) % step == 0)) {
            return;
        }
        std::string range = std::to_string(minimum) + " to " + std::to_string(maximum);
        if (step > 1) {
            range += " in steps of " + std::to_string(step);
        }
        throw Exceptions::OutOfRangeException("value " + std::to_string(value) +
                                                  " is outside the range " + range + " of '" +
                                                  m_name + "'",
                                              "Node::SetInt");
    }

    std::pair<double, double> bounds() {
        GError* error = nullptr;
        double minimum = 0.0;
        double maximum = 0.0;
        arv_device_get_float_feature_bounds(dev(), m_name.c_str(), &minimum, &maximum, &error);
        throwOnError(error, "Node::GetDoubleMin");
        return {minimum, maximum};
    }

    std::shared_ptr<GenDevice> m_device;
    std::string m_name;
    std::string m_kind;
};

std::string kindOf(ArvGcNode* node) {
    if (ARV_IS_GC_ENUMERATION(node))
        return "IEnumeration";
    if (ARV_IS_GC_COMMAND(node))
        return "ICommand";
    if (ARV_IS_GC_FLOAT(node))
        return "IFloat";
    if (ARV_IS_GC_INTEGER(node))
        return "IInteger";
    if (ARV_IS_GC_STRING(node))
        return "IString";
    return "IValue";
}

}  // namespace

void throwOnError(GError* error, const char* function) {
    if (error == nullptr) {
        return;
    }
    const std::string message = error->message != nullptr ? error->message : "Aravis error";
    g_error_free(error);
    throw Exceptions::LowLevelException(message, function);
}

std::shared_ptr<Backend::NodeBackend> GenDevice::node(const std::string& name) {
    ArvDevice* device = arvDevice();
    ArvGcNode* feature = arv_device_get_feature(device, name.c_str());
    if (feature == nullptr || !arv_device_is_feature_available(device, name.c_str(), nullptr)) {
        return nullptr;
    }
    return std::make_shared<GenNode>(shared_from_this(), name, kindOf(feature));
}

}  // namespace genicam
}  // namespace BGAPI2
