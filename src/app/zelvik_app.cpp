#include "app/zelvik_app.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <cstdio>
#include <memory>

#include "app/main_window.h"
#include "app/qt_message_box.h"
#include "monitor/frame_export.h"
#include "platform/platform.h"
#include "service/service_server.h"
#include "service/token_store.h"

namespace zv {

int CZELVIKApp::InitInstance() {
  // The wizard's organisation name; the program keeps no settings under it.
  QCoreApplication::setOrganizationName(QString::fromUtf8("应用程序向导生成的本地应用程序"));
  InstallQtMessageBox();
  if (m_service && !m_service->token_file_given) {
    // Serving from the desk needs a token, and the desk gets one the first
    // time: made here, shown once, kept only as its hash.
    struct stat st {};
    if (stat(m_service->token_file.c_str(), &st) != 0) {
      std::string error;
      const std::optional<std::string> token =
          MakeTokenFolder(m_service->token_file, &error)
              ? TokenStore::AddToken(m_service->token_file, "desktop", Role::kAdmin, &error)
              : std::nullopt;
      if (!token) {
        std::fprintf(stderr, "zv_multiview: cannot make a token file for the service: %s\n", error.c_str());
        return 1;
      }
      std::printf("zv_multiview: the service's token for \"desktop\" (admin), shown once: %s\n"
                  "zv_multiview: it is kept as a hash in %s\n",
                  token->c_str(), m_service->token_file.c_str());
      std::fflush(stdout);
    }
  }
  CZELVIKDlg dlg(m_link_config);
  std::unique_ptr<ServiceServer> service;
  if (m_service) {
    service = std::make_unique<ServiceServer>(dlg.Hub(), *m_service);
    FrameLog* log = m_frame_log;
    service->SetAuditSink([log](const AuditEntry& entry) {
      std::fprintf(stderr, "zv_multiview: %s\n", AuditText(entry).c_str());
      if (log) log->WriteLine(AuditJson(entry) + "\n");
    });
    std::string error;
    if (!service->Start(&error)) {
      std::fprintf(stderr, "zv_multiview: the service cannot start: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(stderr, "zv_multiview: %s\n", service->Banner().c_str());
  }
  dlg.Tally().Start(m_start.tally_map, SettingsFilePath(kSettingsFileName), m_start.tally_asked,
                    service ? service->Tally() : nullptr);
  dlg.Hub().SetPresencePeriodMs(m_start.presence_period_ms);
  if (m_start.restore) dlg.RestorePanelWindows();
  if (!m_start.open.empty()) dlg.OpenAtStart(m_start.open);
  dlg.exec();
  // The service goes before the window whose sessions it uses.
  dlg.Tally().LeaveService();
  service.reset();
  // The program ends when the main window's modal loop does.
  return 0;
}

}  // namespace zv
