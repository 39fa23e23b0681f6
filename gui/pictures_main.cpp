// nerax-lt-pictures: renders the main window offscreen into PNG files —
// the default view, the engineering view, the Management page, the EEPROM
// grid after a read, the LED panel and the Flow graph page after a flow
// capture — after
// connecting to the detector that port discovery finds (scripts/pictures
// starts a virtual one) and running a few readouts so the pictures show
// real content.
//
//   nerax-lt-pictures OUTPUT_DIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>

#include <cstdio>
#include <cstdlib>

#include "pages/main_window.h"
#include "gui/qt_host.h"
#include "gui/window.h"

namespace {

// A click as the operator makes it, when the button does something yet.
void press(MainWindow& window, TButton& button) {
    if (!button.OnClick) return;
    if (auto* w = window.widgetAs<QPushButton>(button)) w->click();
    window.flush();
}

bool save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    const bool ok = widget.grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nerax-lt-pictures OUTPUT_DIR\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    QtHost host;
    QApplication::setApplicationName(qtText(host.applicationTitle));
    TFrmTestQOB form(host);
    MainWindow window(form, host);
    // The offscreen screen is small: picture the window as a wide screen shows it.
    window.setScreenRoom(QSize(1920, 1080));
    window.startUp();
    window.show();

    if (!form.Edit1.Text->empty()) {
        press(window, form.Button1);
        // The identity readout fills the Management page's memo.
        if (form.Button4.OnClick)
            press(window, form.Button4);
        else
            form.Button4Click();
        press(window, form.btnState);
        press(window, form.Button24);
        window.flush();
        if (!form.qob) std::fprintf(stderr, "note: no connection to COM%s\n", form.Edit1.Text->c_str());
    } else {
        std::fprintf(stderr, "note: no detector found, the pictures show the window unconnected\n");
    }

    bool ok = save(window, out + "/window.png");
    window.setEngineeringView(true);
    ok = save(window, out + "/engineering-view.png") && ok;
    if (auto* pages = window.widgetAs<QTabWidget>(form.PageControl1)) {
        form.PageControl1.ActivePageIndex = 0;
        window.flush();
        ok = save(*pages, out + "/management-page.png") && ok;
    }
    // The EEPROM page after "read", and the LED panel of Admin #2.
    if (auto* pages = window.widgetAs<QTabWidget>(form.PageControl1)) {
        form.PageControl1.ActivePageIndex = 1;
        window.flush();
        if (form.qob) press(window, form.btnrseep);
        ok = save(*pages, out + "/eeprom-grid.png") && ok;
        form.PageControl1.ActivePageIndex = 5;
        window.flush();
        ok = save(*pages, out + "/led-panel.png") && ok;
    }
    // The Flow graph page after a capture of the sweep that follows a reset;
    // the ticks run back to back instead of every 300 ms.
    if (form.qob) {
        form.btnresClick();
        form.btnClearFlowLogClick();
        form.edtFlowLogFan1.Text = "6";
        form.edtFlowLogFan2.Text = "6";
        for (int tick = 0; tick < 45; ++tick) form.tmrFlowLogTimer();
        if (auto* pages = window.widgetAs<QTabWidget>(form.PageControl1)) {
            form.PageControl1.ActivePageIndex = 8;
            window.flush();
            ok = save(*pages, out + "/flow-graph.png") && ok;
        }
    }
    if (form.qob) press(window, form.Button2);
    return ok ? 0 : 1;
}
