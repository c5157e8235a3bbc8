#include "app/desktop_setup.h"

#include <QStandardPaths>

#include "platform/platform.h"

namespace zv {

Q_LOGGING_CATEGORY(lcTrace, "zv.trace", QtWarningMsg)

void RouteTraceToLog() {
  SetTraceSink([](const std::string& line) {
    std::string_view text(line);
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    qCInfo(lcTrace, "%.*s", static_cast<int>(text.size()), text.data());
  });
}

void ShowTraceLog() { QLoggingCategory::setFilterRules(QStringLiteral("zv.trace.info=true")); }

void UseStandardSettingsFolder() {
  // The generic folder (~/.config), not the application one: that would sit
  // under the organisation name, which the application wizard left as a stand-in.
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (!base.isEmpty()) SetSettingsFallbackDir((base + QStringLiteral("/zv_multiview")).toStdString());
}

}  // namespace zv
