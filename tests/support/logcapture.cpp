#include "logcapture.h"

#include <QString>

namespace {
LogCapture* g_active = nullptr;
}

LogCapture::LogCapture() {
    g_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(m_previous);
    g_active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    LogCapture* self = g_active;
    if (self == nullptr) {
        return;
    }
    const Line line{type, text.toStdString(), context.file ? context.file : "", context.line,
                    context.function ? context.function : ""};
    std::function<void(const Line&)> hook;
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_lines.push_back(line);
        hook = self->m_onLine;
    }
    if (hook) {
        hook(line);
    }
}

void LogCapture::setOnLine(std::function<void(const Line&)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onLine = std::move(hook);
}

std::vector<LogCapture::Line> LogCapture::lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

std::vector<LogCapture::Line> LogCapture::lines(QtMsgType type) const {
    return matching(type, "");
}

std::vector<LogCapture::Line> LogCapture::matching(QtMsgType type,
                                                   const std::string& fragment) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Line> result;
    for (const auto& line : m_lines) {
        if (line.type == type && line.text.find(fragment) != std::string::npos) {
            result.push_back(line);
        }
    }
    return result;
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}
