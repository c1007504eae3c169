#include "config/widgets/setup_frame.h"

#include "link/description_result.h"

#include "config/tree_nodes.h"
#include "config/widgets/icon_set.h"
#include "config/widgets/inputs_page.h"
#include "config/widgets/logging_page.h"
#include "config/widgets/outputs_page.h"
#include "config/widgets/setup_tree.h"
#include "config/widgets/system_page.h"
#include "kit/widgets/page_context.h"
#include "link/data_module.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vardex::config {

namespace {

QWidget *makeSheet(QStackedWidget *pages, const char *name)
{
    auto *sheet = new QWidget(pages);
    sheet->setObjectName(QLatin1String(name));
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    pages->addWidget(sheet);
    return sheet;
}

} // namespace

SetupFrame::SetupFrame(ui::PageContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("SetupFrame"));
    link::MonitorConfig &config = m_ctx.dm.image().config;

    m_tree = new SetupTree(this);
    m_tree->setFixedWidth(206);

    m_headerImage = new QLabel(this);
    m_headerImage->setObjectName(QStringLiteral("UprLoopConfigImage"));
    m_headerImage->setFixedSize(kIconSize, kIconSize);
    m_headerText = new QLabel(this);
    m_headerText->setObjectName(QStringLiteral("UprLoopLabel"));
    QFont title = m_headerText->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.25);
    m_headerText->setFont(title);
    m_indexLabel = new QLabel(this);
    m_indexLabel->setObjectName(QStringLiteral("Label25"));
    m_indexLabel->hide();

    auto *header = new QFrame(this);
    header->setFrameShape(QFrame::StyledPanel);
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(6, 4, 6, 4);
    headerLayout->addWidget(m_headerImage);
    headerLayout->addWidget(m_headerText, 1);
    headerLayout->addWidget(m_indexLabel);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("SetupPageControl"));
    m_control = makeSheet(m_pages, "ControlTabSheet");
    m_first = makeSheet(m_pages, "FirstTabSheet");
    QWidget *in = makeSheet(m_pages, "SystemInTabSheet");
    QWidget *out = makeSheet(m_pages, "SystemOutTabSheet");
    QWidget *system = makeSheet(m_pages, "SystemTabSheet");
    QWidget *log = makeSheet(m_pages, "LogSetupTabSheet");

    m_system = new SystemPage(m_ctx, system);
    system->layout()->addWidget(m_system);
    m_inputs = new InputsPage(config, in);
    in->layout()->addWidget(m_inputs);
    m_outputs = new OutputsPage(config, out);
    out->layout()->addWidget(m_outputs);
    m_logging = new LoggingPage(config, log);
    log->layout()->addWidget(m_logging);

    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(header);
    right->addWidget(m_pages, 1);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_tree);
    layout->addLayout(right, 1);

    connect(m_tree, &SetupTree::nodeSelected, this, &SetupFrame::onNodeSelected);
    connect(m_outputs, &OutputsPage::nodeLookChanged, this, &SetupFrame::setOutputNodeLook);
    connect(m_system, &SystemPage::configReplaced, this, [this] {
        showMonitorConfig();
        emit configurationChanged();
    });
    connect(m_system, &SystemPage::configTaken, this, &SetupFrame::configurationTaken);

    // Start-up: the loop file page with the loops picture, no title, and every
    // output greyed until a configuration is known.
    setHeaderIcon(13);
    m_headerText->clear();
    m_pages->setCurrentWidget(m_first);
    for (int loop = 1; loop <= 26; ++loop)
        setOutputNodeLook(outputNodeForLoop(loop), false);
}

bool SetupFrame::extendedLoopsAvailable() const
{
    return m_ctx.dm.image().hasExtendedLoops();
}

void SetupFrame::showMonitorConfig()
{
    m_system->showConfig();
    m_inputs->showConfig();
    m_outputs->showConfig();
    m_logging->showConfig();
}

void SetupFrame::setOutputNodeLook(int node, bool enabled)
{
    m_tree->setOutputNodeLook(node, enabled);
}

void SetupFrame::setHeaderIcon(int image)
{
    if (image < 0)
        m_headerImage->clear();
    else
        m_headerImage->setPixmap(imagePixmap(image));
    m_headerImage->setProperty("image", image);
}

void SetupFrame::setCurrentLoop(int n)
{
    if (m_currentLoop == n)
        return;
    m_currentLoop = n;
    emit currentLoopChanged(n);
}

void SetupFrame::onNodeSelected(int index)
{
    if (index < 0 || index >= kTreeNodeCount)
        return;
    setHeaderIcon(-1);
    m_indexLabel->setText(QString::number(index));
    const TreeNode &node = treeNodes()[static_cast<std::size_t>(index)];
    const QString text = QString::fromUtf8(node.text);
    switch (node.kind) {
    case NodeKind::LoopsRoot:
        setCurrentLoop(0);
        m_pages->setCurrentWidget(m_first);
        // Its own header, not the one of the page shown before.
        m_headerText->setText(kLoopFileHeader);
        setHeaderIcon(node.image);
        break;
    case NodeKind::Group:
    case NodeKind::Loop: {
        setCurrentLoop(node.loop);
        m_pages->setCurrentWidget(m_control);
        m_headerText->setText(kLoopHeader + text);
        // The header shows the group's picture for every loop of the group.
        setHeaderIcon(treeNodes()[static_cast<std::size_t>(groupNodeForLoop(node.loop))].image);
        emit loopShown(node.loop, text);
        break;
    }
    case NodeKind::System: {
        setCurrentLoop(0);
        static const SetupPage order[] = {SetupPage::Control,  SetupPage::First,
                                          SetupPage::SystemIn, SetupPage::SystemOut,
                                          SetupPage::System,   SetupPage::LogSetup};
        for (int i = 0; i < 6; ++i) {
            if (order[i] == node.page)
                m_pages->setCurrentIndex(i);
        }
        m_headerText->setText(kSystemHeader + QString::fromUtf8(node.headerSuffix));
        setHeaderIcon(node.headerImage);
        break;
    }
    }
}

void SetupFrame::onConnectionChanged(bool connected)
{
    if (!connected)
        m_system->setTransferEnabled(false);
}

void SetupFrame::onDescriptionRead(const link::DescriptionResult &result)
{
    if (!result.described)
        return;
    showMonitorConfig();
    m_system->setTransferEnabled(true);
}

void SetupFrame::onChannelNames(const ChannelNames &names)
{
    m_inputs->setChannelNames(names);
    m_logging->setChannelNames(names);
}

} // namespace vardex::config
