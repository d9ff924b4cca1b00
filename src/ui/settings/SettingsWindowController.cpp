#include "ui/settings/SettingsWindowController.h"

#include "common/ApplicationId.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/settings/SettingsForm.h"
#include "ui/settings/SettingsRootView.h"
#include "ui/settings/SettingsUIState.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// Writes the window's position only when it moved: the settings file is rewritten as a whole,
// and hiding an unmoved window has nothing to add.
void storeGeometry(const QWidget &window)
{
    const auto store = SettingsStore::open();
    const QByteArray geometry = window.saveGeometry();
    if (store->value(SettingsWindowController::geometryKey).toByteArray() == geometry)
        return;
    store->setValue(SettingsWindowController::geometryKey, geometry);
    SettingsStore::persist(*store);
}

// The settings window: not resizable, hidden (never destroyed) when closed; its position is
// kept in the settings store. It opens at the larger of its minimum size and what the tabs
// need at the current font, so that no tab has to scroll.
class SettingsWindow : public QWidget
{
public:
    explicit SettingsWindow(const SettingsContext &context)
        : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint)
    {
        setWindowTitle(QStringLiteral("Vigilmount"));
        setObjectName(QStringLiteral("VigilmountSettings"));
        auto *layout = new QVBoxLayout(this); // the style's window margins
        m_root = new SettingsRootView(context, this);
        layout->addWidget(m_root);
        addShortcuts(context.watchdog);
        fitToContent();
    }

    void fitToContent()
    {
        SettingsForm::alignLabelColumns(m_root);
        const QMargins margins = layout()->contentsMargins();
        const int horizontal = margins.left() + margins.right();
        QSize size(qMax(SettingsRootView::width, m_root->minimumSizeHint().width() + horizontal),
                   0);
        const int rootHeight = m_root->hasHeightForWidth()
                                   ? m_root->heightForWidth(size.width() - horizontal)
                                   : m_root->sizeHint().height();
        size.setHeight(
            qMax(SettingsRootView::height, rootHeight + margins.top() + margins.bottom()));
        // On a screen too small for it, the tabs scroll instead.
        if (const QScreen *shownOn = screen())
            size = size.boundedTo(shownOn->availableGeometry().size());
        setFixedSize(size);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        fitToContent();
        QWidget::showEvent(event);
    }

    void changeEvent(QEvent *event) override
    {
        // The tabs take the new font after the window has been told.
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            QMetaObject::invokeMethod(this, &SettingsWindow::fitToContent, Qt::QueuedConnection);
        QWidget::changeEvent(event);
    }

    void closeEvent(QCloseEvent *event) override
    {
        // Closing only hides: the window is not deleted on close and is shown again later.
        storeGeometry(*this);
        QWidget::closeEvent(event);
    }

    void hideEvent(QHideEvent *event) override
    {
        if (!event->spontaneous())
            storeGeometry(*this);
        QWidget::hideEvent(event);
    }

private:
    // Escape and Ctrl+W close the window; Ctrl+R checks now, as in the tray menu.
    void addShortcuts(Watchdog &watchdog)
    {
        for (const QKeySequence &keys :
             {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
            new QShortcut(keys, this, this, &QWidget::close);
        new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this,
                      [&watchdog] { watchdog.checkNow(QStringLiteral("manual")); });
    }

    SettingsRootView *m_root;
};

} // namespace

SettingsWindowController::SettingsWindowController(const SettingsContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{}

SettingsWindowController::~SettingsWindowController()
{
    delete m_window;
}

void SettingsWindowController::show(SettingsTab tab)
{
    m_context.uiState.setTab(tab);
    if (!m_window)
        buildWindow();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowController::showOrRaise(SettingsTab tabWhenHidden)
{
    show(m_window && m_window->isVisible() ? m_context.uiState.tab() : tabWhenHidden);
}

void SettingsWindowController::buildWindow()
{
    auto *window = new SettingsWindow(m_context);
    // The full-colour application icon, not the monochrome tray symbol.
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(applicationId)));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    // A position saved by an earlier run takes the place of the centred one.
    const auto store = SettingsStore::open();
    const QByteArray saved = store->value(geometryKey).toByteArray();
    if (!saved.isEmpty())
        window->restoreGeometry(saved);
    window->fitToContent();
    // Also keep the position of a window that is still open when the program ends.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window, [window] {
        if (window->isVisible())
            storeGeometry(*window);
    });
    m_window = window;
}

bool SettingsWindowController::applyFirstLaunchRule()
{
    if (!m_context.settings.serverHost().isEmpty() || SettingsStore::hasLaunchedBefore())
        return false;
    SettingsStore::setHasLaunchedBefore();
    show(SettingsTab::general);
    return true;
}
