#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;

namespace vardex::ui {
struct PageContext;
}

namespace vardex::config {

// "Система ": the *.cfg buttons, the transfer buttons, the hardware
// configuration number and the name of the last saved or loaded file.
class SystemPage : public QWidget {
    Q_OBJECT
public:
    SystemPage(ui::PageContext &ctx, QWidget *parent = nullptr);

    // Step 1 of filling the pages.
    void showConfig();
    // Reading and writing need a described controller.
    void setTransferEnabled(bool enabled);

signals:
    // The image now holds another configuration (loaded, cleared or read): the
    // frame fills the pages and tells its neighbours.
    void configReplaced();
    // Loaded from a file or read from the controller (not cleared): the image now
    // describes a real controller, its sensors' resolutions included.
    void configTaken();

private:
    void save();
    void load();
    void clear();
    void read();
    void write();
    // Reads the controller's configuration and lists what a write would change.
    void diff();

    ui::PageContext &m_ctx;
    QPushButton *m_read;
    QPushButton *m_write;
    QPushButton *m_diff = nullptr;
    QSpinBox *m_number;
    QLabel *m_name;
};

} // namespace vardex::config
