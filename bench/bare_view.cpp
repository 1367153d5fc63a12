// A bare QWebEngineView with the program's engine flags: loads the URL given and prints
// "loaded" when the page is complete. The yardstick of bench/startup.

#include "platform/webengine/webengine_host.h"

#include <QApplication>
#include <QWebEngineView>
#include <cstdio>

int main(int argc, char* argv[])
{
    lumora::platform::webengine::WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bare_view URL\n");
        return 2;
    }
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [](bool ok) {
        std::printf("loaded %s\n", ok ? "ok" : "failed");
        std::fflush(stdout);
    });
    view.resize(1440, 900);
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    view.show();
    return QApplication::exec();
}
