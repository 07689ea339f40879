#include "jsonfields.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace simcam {
namespace {

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// How a wrong value reads in a message: short, whatever its type.
std::string shown(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Null:
            return "null";
        case QJsonValue::Bool:
            return value.toBool() ? "true" : "false";
        case QJsonValue::Double: {
            QString text = QString::number(value.toDouble(), 'g', 17);
            return text.toStdString();
        }
        case QJsonValue::String:
            return quoted(value.toString().left(40).toStdString());
        case QJsonValue::Array:
            return "an array";
        case QJsonValue::Object:
            return "an object";
        default:
            return "nothing";
    }
}

}  // namespace

void JsonFields::fail(const std::string& what) {
    if (ok()) {
        *m_error = m_where.empty() ? what : m_where + ": " + what;
    }
}

void JsonFields::allowOnly(std::initializer_list<const char*> keys) {
    for (auto it = m_object.begin(); it != m_object.end() && ok(); ++it) {
        const std::string key = it.key().toStdString();
        if (std::none_of(keys.begin(), keys.end(), [&](const char* k) { return key == k; })) {
            fail("unknown key " + quoted(key));
        }
    }
}

void JsonFields::text(const char* key, std::string* out, bool required) {
    if (!present(key)) {
        if (ok() && required) {
            fail("needs " + quoted(key));
        }
        return;
    }
    const QJsonValue value = m_object.value(key);
    if (!value.isString() || value.toString().isEmpty()) {
        fail(quoted(key) + " must be a non-empty string, not " + shown(value));
        return;
    }
    *out = value.toString().toStdString();
}

void JsonFields::integer(const char* key, std::int64_t min, std::int64_t max, std::int64_t* out) {
    if (!present(key)) {
        return;
    }
    const QJsonValue value = m_object.value(key);
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || !(number >= static_cast<double>(min)) ||
        !(number <= static_cast<double>(max)) || std::floor(number) != number) {
        fail(quoted(key) + " must be a whole number from " + std::to_string(min) + " to " +
             std::to_string(max) + ", not " + shown(value));
        return;
    }
    *out = static_cast<std::int64_t>(number);
}

void JsonFields::number(const char* key, double* out) {
    if (!present(key)) {
        return;
    }
    const QJsonValue value = m_object.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble())) {
        fail(quoted(key) + " must be a finite number, not " + shown(value));
        return;
    }
    *out = value.toDouble();
}

void JsonFields::flag(const char* key, bool* out) {
    if (!present(key)) {
        return;
    }
    const QJsonValue value = m_object.value(key);
    if (!value.isBool()) {
        fail(quoted(key) + " must be true or false, not " + shown(value));
        return;
    }
    *out = value.toBool();
}

// The items under key when it is an array of items that take() accepts.
template <typename Item, typename Take>
std::vector<Item> JsonFields::arrayOf(const char* key, const char* what, Take take) {
    std::vector<Item> result;
    if (!present(key)) {
        return result;
    }
    const QJsonValue value = m_object.value(key);
    const QJsonArray items = value.toArray();
    for (const QJsonValue& item : items) {
        Item taken;
        if (!take(item, &taken)) {
            break;
        }
        result.push_back(taken);
    }
    if (!value.isArray() || result.size() != static_cast<std::size_t>(items.size())) {
        fail(quoted(key) + " must be an array of " + what);
        result.clear();
    }
    return result;
}

void JsonFields::texts(const char* key, std::vector<std::string>* out) {
    if (!present(key)) {
        return;
    }
    std::vector<std::string> result = arrayOf<std::string>(
        key, "non-empty strings", [](const QJsonValue& item, std::string* text) {
            *text = item.toString().toStdString();
            return item.isString() && !text->empty();
        });
    if (ok()) {
        *out = std::move(result);
    }
}

std::vector<QJsonObject> JsonFields::objects(const char* key) {
    return arrayOf<QJsonObject>(key, "objects", [](const QJsonValue& item, QJsonObject* object) {
        *object = item.toObject();
        return item.isObject();
    });
}

}  // namespace simcam
