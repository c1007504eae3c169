#pragma once

#include "config/widgets/setup_frame.h"
#include "config/widgets/setup_tree.h"
#include "kit/widgets/number_edit.h"
#include "support/page_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>

#include <memory>
#include <utility>
#include <vector>

namespace vardex::test {

// A configuration frame on a data module talking to one simulated controller.
struct FrameRig : PageRig {
    explicit FrameRig(sim::Firmware firmware = sim::fullControllerFirmware24())
        : PageRig(std::move(firmware))
    {
        frame = std::make_unique<config::SetupFrame>(ctx);
        frame->resize(831, 655);
        QObject::connect(frame.get(), &config::SetupFrame::loopShown,
                         [this](int n, const QString &text) {
                             loopsShown.push_back({n, text});
                         });
        QObject::connect(frame.get(), &config::SetupFrame::currentLoopChanged,
                         [this](int n) { loopChanges.push_back(n); });
        QObject::connect(frame.get(), &config::SetupFrame::configurationChanged,
                         [this] { ++configurationChanges; });
    }

    link::MonitorConfig &config() { return dm.image().config; }

    template <typename T = QWidget> T *w(const QString &name) const
    {
        return frame->findChild<T *>(name);
    }
    template <typename T = QWidget> T *w(const char *family, int n) const
    {
        return frame->findChild<T *>(QLatin1String(family) + QString::number(n));
    }
    ui::NumberEdit *edit(const char *family, int n) const { return w<ui::NumberEdit>(family, n); }
    void click(const char *name) { w<QPushButton>(QLatin1String(name))->click(); }

    // Types text into an edit as the user would: select all, then key by key.
    static void type(QAbstractSpinBox *box, const QString &text)
    {
        box->setFocus();
        box->selectAll();
        for (QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(box, &press);
        }
    }
    static QString shown(QAbstractSpinBox *box) { return box->text(); }
    // The user opens the list and picks an item.
    static void choose(QComboBox *list, int index)
    {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    bool nodeCut(int node) const { return frame->tree()->isNodeCut(node); }

    std::unique_ptr<config::SetupFrame> frame;
    // What the frame told its neighbours.
    std::vector<std::pair<int, QString>> loopsShown;
    std::vector<int> loopChanges;
    int configurationChanges = 0;
};

} // namespace vardex::test
