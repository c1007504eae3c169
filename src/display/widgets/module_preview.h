#pragma once

#include <QWidget>

namespace vardex::display {

class ModuleModel;

// The module's screen as the model has it: 256 x 64 dots scaled up to the widget,
// lit dots in the module's blue-green on black, dimmed by its brightness level.
class ModulePreview : public QWidget {
    Q_OBJECT
public:
    explicit ModulePreview(const ModuleModel &model, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The colour a lit dot is painted in at the model's brightness.
    QColor litColour() const;
    // Paints again when the model has changed since the last paint.
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const ModuleModel &m_model;
    int m_paintedRevision = -1;
};

} // namespace vardex::display
