#include "main_window.h"
#include "background_save.h"
#include "label_feed.h"
#include "grade.h"
#include "journal.h"
#include "paths.h"
#include "list_view.h"
#include "pace.h"
#include "progress_panel.h"
#include "repaint_throttle.h"
#include "result_model.h"
#include "site.h"
#include "sorted_list.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTextDocument>


// Resources of a static library must be registered by hand.
static void initResources() { Q_INIT_RESOURCE(harvester); }

namespace {
// Layout is given in twips; at 96 dpi fifteen of them make one logical pixel, and Qt's
// high-DPI scaling takes it from there.
constexpr int px(int twips) { return (twips + 7) / 15; }

QRect twipRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

int vbButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int vbShift(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0);
}
} // namespace

const QString frmMain::kFetchBaseUrl = Site::fetchBaseUrl();
const QString frmMain::kBrowseBaseUrl = Site::browseBaseUrl();
const QString frmMain::kTitle = QStringLiteral("VqLirra辅助");

frmMain::frmMain(const QString &fetchBaseUrl, const QString &programDir, QWidget *parent)
    : QWidget(parent), m_fetchBaseUrl(fetchBaseUrl)
{
    const FilePlaces places = filePlaces(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir);
    m_saveDir = places.saveDir;
    m_logDir = places.logDir;
    initResources();
    m_save = new BackgroundSave(this);
    buildControls();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::buildControls()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(QStringLiteral(":/vqlirra/icon.png")));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(px(12720), px(7515));
    new RepaintThrottle(this, 50); // at most 20 pictures a second: smooth to the eye
    QFont font = this->font();
    font.setPixelSize(12); // the captions' sizes are those of a 12-pixel design font
    setFont(font);

    const auto name = [](QObject *o, const QString &n) { o->setObjectName(n); };

    Frame1 = new QGroupBox(QStringLiteral("采集ID"), this);
    name(Frame1, QStringLiteral("Frame1"));
    Frame1->setGeometry(twipRect(45, 45, 5595, 1005));

    struct LabelSpec { int index; const char16_t *text; int l, t, w, h; };
    const LabelSpec labels[] = {
        {0, u"开始ID", 180, 270, 540, 180},
        {1, u"结束ID", 180, 630, 540, 180},
        {2, u"延时(ms)", 2250, 630, 720, 180},
        {3, u"范围", 2250, 270, 360, 180},
    };
    for (const LabelSpec &s : labels) {
        auto *label = new QLabel(QString::fromUtf16(s.text), Frame1);
        name(label, QStringLiteral("Lab(%1)").arg(s.index));
        // A label grows to its caption when this font needs more room than the design's.
        const QRect designed = twipRect(s.l, s.t, s.w, s.h);
        label->setGeometry(QRect(designed.topLeft(), designed.size().expandedTo(label->sizeHint())));
        Lab[size_t(s.index)] = label;
    }

    struct FieldSpec { const char *text; int l, t, w, h; };
    const FieldSpec fields[] = {
        {"50147164", 855, 225, 1230, 270},
        {"50147260", 855, 585, 1230, 270},
        {"50", 3105, 585, 645, 270},
    };
    for (int i = 0; i < 3; ++i) {
        auto *field = new QLineEdit(QString::fromLatin1(fields[i].text), Frame1);
        name(field, QStringLiteral("Txt(%1)").arg(i));
        field->setGeometry(twipRect(fields[i].l, fields[i].t, fields[i].w, fields[i].h));
        field->setMaxLength(65535);
        Txt[size_t(i)] = field;
    }

    const auto makeCombo = [&](const QString &objName, QRect geometry) {
        auto *combo = new QComboBox(Frame1);
        name(combo, objName);
        combo->setGeometry(geometry);
        combo->addItems(Grade::scale());
        combo->setMaxVisibleItems(Grade::kScaleSize);
        combo->setCurrentIndex(-1); // created with no selection; start-up selects
        return combo;
    };
    Combo1 = makeCombo(QStringLiteral("Combo1"), twipRect(2835, 225, 1320, 300));
    Combo2 = makeCombo(QStringLiteral("Combo2"), twipRect(4185, 225, 1320, 300));
    connect(Combo1, &QComboBox::currentIndexChanged, this,
            [this] { guarded([this] { Combo1_Click(); }); });
    connect(Combo2, &QComboBox::currentIndexChanged, this,
            [this] { guarded([this] { Combo2_Click(); }); });

    Command1 = new QPushButton(QStringLiteral("开 始"), Frame1);
    name(Command1, QStringLiteral("Command1"));
    Command1->setGeometry(twipRect(3870, 585, 780, 330));
    Command2 = new QPushButton(QStringLiteral("停 止"), Frame1);
    name(Command2, QStringLiteral("Command2"));
    Command2->setGeometry(twipRect(4725, 585, 780, 330));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { guarded([this] { Command2_Click(); }); });

    Alog = new QPlainTextEdit(this);
    name(Alog, QStringLiteral("Alog"));
    Alog->setGeometry(twipRect(5715, 90, 6945, 960));
    Alog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Alog->setLineWrapMode(QPlainTextEdit::WidgetWidth); // a multi-line box wraps; it scrolls only down
    Alog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Alog->setTabChangesFocus(true);
    connect(Alog->document(), &QTextDocument::contentsChange, this, &frmMain::logEdited);

    m_list = new ResultModel(this);
    const auto edited = [this] {
        m_listChanged = true;
        ++m_listEdits;
    };
    for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_list, changed, this, edited);
    connect(m_list, &QAbstractItemModel::dataChanged, this, edited);
    connect(m_list, &QAbstractItemModel::modelReset, this, edited);
    // A table without grid or row header looks like a report list, and unlike a tree it
    // takes an appended row without laying out every row again.
    Lv = new ListView(this);
    name(Lv, QStringLiteral("Lv"));
    Lv->setGeometry(twipRect(45, 1125, 12660, 6000));
    // Sorting by a header click is a view of the list: the rows keep their order and numbers.
    m_shown = new SortedList(m_list, this);
    Lv->setModel(m_shown);
    Lv->setShowGrid(false);
    Lv->setWordWrap(false);
    Lv->setCornerButtonEnabled(false);
    Lv->verticalHeader()->hide();
    // One fixed row height: no per-row size computation, even at 100,000 rows.
    Lv->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Lv->verticalHeader()->setDefaultSectionSize(Lv->fontMetrics().height() + 6);
    Lv->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    Lv->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Lv->setSelectionMode(QAbstractItemView::SingleSelection);
    Lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    Lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Lv->horizontalHeader()->setSectionsClickable(true);
    Lv->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // unsorted until a click
    Lv->horizontalHeader()->setSortIndicatorShown(true);
    Lv->setSortingEnabled(true);
    Lv->setTabKeyNavigation(false); // Tab leaves the list: it is one stop, arrows move inside
    QHeaderView *header = Lv->horizontalHeader();
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    const int columnTwips[ResultModel::kColumns] = {900, 1440, 1200, 1200, 1100,
                                                    800, 800,  800,  800,  1000};
    for (int c = 0; c < ResultModel::kColumns; ++c)
        Lv->setColumnWidth(c, px(columnTwips[c]));
    Lv->viewport()->installEventFilter(this);

    SB = new QStatusBar(this);
    name(SB, QStringLiteral("SB"));
    SB->setSizeGripEnabled(false);
    SB->setGeometry(twipRect(0, 7140, 12720, 375));
    const int panelTwips[2] = {2040, 10635};
    m_countPanel = new QLabel(SB);
    m_progressPanel = new ProgressPanel(SB);
    QLabel *panels[2] = {m_countPanel, m_progressPanel};
    for (int i = 0; i < 2; ++i) {
        QLabel *panel = panels[i];
        name(panel, QStringLiteral("SB.Panel(%1)").arg(i + 1));
        // A fixed size spares the status bar a new layout for every text the run sets.
        panel->setFixedSize(px(panelTwips[i]), px(375) - 6);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        SB->addWidget(panel);
        m_panelFeeds[i] = new LabelFeed(panel, 50);
    }
    m_saveShare = new QLabel(SB);
    name(m_saveShare, QStringLiteral("saveShare"));
    m_saveShare->setGeometry(SB->width() - px(1500), 3, px(1400), px(375) - 6);
    m_saveShare->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_saveShare->hide();

    vqMenu = new QMenu(QStringLiteral("vqMenu"), this);
    name(vqMenu, QStringLiteral("vqMenu"));
    const char16_t *captions[9] = {u"访问用户主页", u"-",           u"清空列表",       u"-",       u"保存为csv",
                                   u"保存为Excel",  u"-",           u"与上次采集比较", u"查看历史"};
    for (int i = 0; i < 9; ++i) {
        QAction *item = vqMenu->addAction(QString::fromUtf16(captions[i]));
        item->setObjectName(QStringLiteral("pmenu(%1)").arg(i));
        item->setSeparator(i == 1 || i == 3 || i == 6);
        connect(item, &QAction::triggered, this, [this, i] { pmenu_Click(i); });
        pmenu[size_t(i)] = item;
    }

    buildParallelMenu();

    // The keyboard walks the inputs, the buttons, the list, the log and the selectors.
    QWidget *order[] = {Txt[0], Txt[1], Txt[2], Command1, Command2, Lv, Alog, Combo1, Combo2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QWidget *w : {static_cast<QWidget *>(Frame1), static_cast<QWidget *>(SB)})
        w->setFocusPolicy(Qt::NoFocus);
    Txt[0]->setFocus();

    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void frmMain::Lv_MouseUp(int button, int shift, int x, int y)
{
    Q_UNUSED(shift);
    if (button != 2)
        return;
    // Shown from inside any wait of a run, so the run holds still while the menu is open.
    vqMenu->exec(Lv->viewport()->mapToGlobal(QPoint(x, y)));
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Lv->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        const int button = vbButton(mouse->button());
        const int shift = vbShift(mouse->modifiers());
        guarded([&] { Lv_MouseUp(button, shift, at.x(), at.y()); });
    }
    return QWidget::eventFilter(watched, event);
}
