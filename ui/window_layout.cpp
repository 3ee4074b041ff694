// The pages, tool bars, menus and status bar of the main window.
#include "main_window.h"

#include "about_page.h"
#include "open_mod.h"
#include "widgets/action_tree_view.h"
#include "widgets/plain_text_view.h"
#include "widgets/side_splitter.h"
#include "widgets/split_pane.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

namespace torvale {

namespace {

// The selection of a field stays visible while another control has the focus.
void keepSelectionVisible(QWidget* widget) {
    QPalette palette = widget->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    widget->setPalette(palette);
}

QPlainTextEdit* codeField(const char* name, QWidget* parent) {
    auto* field = new QPlainTextEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    field->setTabChangesFocus(false);
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    keepSelectionVisible(field);
    // The document's history undoes typing; a field's own would fight it.
    field->setUndoRedoEnabled(false);
    return field;
}

QLineEdit* lineField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    // Properties may be long; Qt's default limit would cut them.
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}

PlainTextView* viewField(const char* name, QWidget* parent) {
    auto* view = new PlainTextView(parent);
    view->setObjectName(QLatin1String(name));
    keepSelectionVisible(view);
    return view;
}

// A caption bar over a text pane.
QLabel* captionBar(const char* name, const QString& text, QWidget* parent) {
    auto* bar = new QLabel(text, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setFixedHeight(18);
    bar->setFrameShape(QFrame::Panel);
    bar->setFrameShadow(QFrame::Raised);
    bar->setIndent(4);
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Button);
    return bar;
}

QWidget* captionedPane(const char* name, QLabel* caption, QWidget* field) {
    auto* pane = new QWidget;
    pane->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(caption);
    layout->addWidget(field, 1);
    return pane;
}

QWidget* page(const char* name) {
    auto* widget = new QWidget;
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

std::vector<QWidget*> TFormMain::textFields() const {
    return {edtId,         edtVersion, memDescription, edtAuthor,  edtHomepage,
            memFileToEdit, memSearch,  memAndAction,   memPreview, memEditingFile};
}

void TFormMain::createPages() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);

    tsModProperty = createPropertyPage();
    tsModAction = createActionPage();

    tsPreview = page("tsPreview");
    memPreview = viewField("memPreview", tsPreview);
    auto* previewLayout = new QVBoxLayout(tsPreview);
    previewLayout->setContentsMargins(2, 2, 2, 2);
    previewLayout->addWidget(memPreview);

    tsEditingFile = page("tsEditingFile");
    memEditingFile = viewField("memEditingFile", tsEditingFile);
    // Which forum file the view shows, or why it shows none.
    pnlEditingFile = captionBar("pnlEditingFile", QString(), tsEditingFile);
    pnlEditingFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* editingLayout = new QVBoxLayout(tsEditingFile);
    editingLayout->setContentsMargins(2, 2, 2, 2);
    editingLayout->setSpacing(2);
    editingLayout->addWidget(pnlEditingFile);
    editingLayout->addWidget(memEditingFile);

    tsAbout = new AboutPage;
    tsAbout->setObjectName(QStringLiteral("tsAbout"));

    PageControl1->addTab(tsModProperty, QStringLiteral("Mod Property"));
    PageControl1->addTab(tsModAction, QStringLiteral("Mod Action"));
    PageControl1->addTab(tsPreview, QStringLiteral("Preview"));
    PageControl1->addTab(tsEditingFile, QStringLiteral("EditingFile"));
    PageControl1->addTab(tsAbout, QStringLiteral("About..."));
    PageControl1->setCurrentIndex(0);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });

    applyEditorFont();

    for (QWidget* field : textFields()) {
        field->setContextMenuPolicy(Qt::CustomContextMenu);
        field->installEventFilter(this);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(field))
            area->viewport()->installEventFilter(this);
        // The edit commands follow the field's selection and undo state.
        TextField(field).watch(this, [this] { updateCommandStates(); });
    }
}

QWidget* TFormMain::createPropertyPage() {
    QWidget* pageWidget = page("tsModProperty");
    edtId = lineField("edtId", pageWidget);
    edtVersion = lineField("edtVersion", pageWidget);
    memDescription = new QPlainTextEdit(pageWidget);
    memDescription->setObjectName(QStringLiteral("memDescription"));
    memDescription->setTabChangesFocus(false);
    memDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memDescription->setUndoRedoEnabled(false);
    keepSelectionVisible(memDescription);
    edtAuthor = lineField("edtAuthor", pageWidget);
    edtHomepage = lineField("edtHomepage", pageWidget);

    auto* grid = new QGridLayout(pageWidget);
    const std::pair<const char*, QWidget*> rows[] = {{"&Mod Name", edtId},
                                                     {"&Version", edtVersion},
                                                     {"&Description", memDescription},
                                                     {"&Author", edtAuthor},
                                                     {"&Homepage", edtHomepage}};
    int row = 0;
    for (const auto& [caption, field] : rows) {
        auto* label = new QLabel(QString::fromLatin1(caption), pageWidget);
        label->setBuddy(field);
        grid->addWidget(label, row, 0, field == memDescription ? Qt::AlignTop : Qt::Alignment());
        grid->addWidget(field, row, 1);
        ++row;
    }
    grid->setRowStretch(2, 1);
    QWidget::setTabOrder(edtId, edtVersion);
    QWidget::setTabOrder(edtVersion, memDescription);
    QWidget::setTabOrder(memDescription, edtAuthor);
    QWidget::setTabOrder(edtAuthor, edtHomepage);

    for (QLineEdit* field : {edtId, edtVersion, edtAuthor, edtHomepage})
        connect(field, &QLineEdit::textChanged, this, [this] { ModPropertyChange(); });
    connect(memDescription, &QPlainTextEdit::textChanged, this, [this] { ModPropertyChange(); });
    return pageWidget;
}

QWidget* TFormMain::createActionPage() {
    QWidget* pageWidget = page("tsModAction");

    ToolBar1 = new QToolBar(pageWidget);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar1->setIconSize(QSize(16, 16));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    for (const char* name : {"actAddEditFile", "actAddReplace", "actAddBefore", "actAddAfter"})
        PopupMenu1->addAction(command(name));

    auto* addButton = new QToolButton(ToolBar1);
    addButton->setObjectName(QStringLiteral("btnAddAction"));
    addButton->setDefaultAction(command("actAddAction"));
    addButton->setMenu(PopupMenu1);
    addButton->setPopupMode(QToolButton::InstantPopup);
    addButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addButton->setFixedWidth(107);
    ToolBar1->addWidget(addButton);
    auto* deleteButton = new QToolButton(ToolBar1);
    deleteButton->setObjectName(QStringLiteral("btnDeleteAction"));
    deleteButton->setDefaultAction(command("actDeleteAction"));
    deleteButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    deleteButton->setFixedWidth(107);
    ToolBar1->addWidget(deleteButton);
    ToolBar1->addSeparator();

    pnlFileToEdit = new QWidget(ToolBar1);
    pnlFileToEdit->setObjectName(QStringLiteral("pnlFileToEdit"));
    pnlFileToEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* fileLayout = new QHBoxLayout(pnlFileToEdit);
    fileLayout->setContentsMargins(4, 0, 0, 0);
    fileLayout->setSpacing(4);
    fileLayout->addWidget(new QLabel(QStringLiteral("File to edit"), pnlFileToEdit));
    memFileToEdit = lineField("memFileToEdit", pnlFileToEdit);
    fileLayout->addWidget(memFileToEdit, 1);
    sbBrowseForFile = new QToolButton(pnlFileToEdit);
    sbBrowseForFile->setObjectName(QStringLiteral("sbBrowseForFile"));
    sbBrowseForFile->setDefaultAction(command("actBrowseFileToEdit"));
    sbBrowseForFile->setAutoRaise(true);
    // The button shows only a picture; screen readers need a name for it.
    sbBrowseForFile->setAccessibleName(QStringLiteral("Browse"));
    fileLayout->addWidget(sbBrowseForFile);
    ToolBar1->addWidget(pnlFileToEdit);

    tvActions = new ActionTreeView(pageWidget);
    tvActions->setObjectName(QStringLiteral("tvActions"));
    tvActions->setModel(model_);
    // The label column spans the tree, so a click anywhere in a row selects it;
    // a long label is cut short, and its tooltip names the whole file.
    tvActions->setTextElideMode(Qt::ElideRight);
    tvActions->header()->setStretchLastSection(true);
    tvActions->setDropRule([this](const QModelIndex& dragged, const QModelIndex& target) {
        return dropSpot(dragged, target);
    });
    QPalette treePalette = tvActions->palette();
    treePalette.setColor(QPalette::Base, QColor(255, 255, 200));
    tvActions->setPalette(treePalette);
    keepSelectionVisible(tvActions);

    pnlSearchString = captionBar("pnlSearchString", QStringLiteral("Search for"), nullptr);
    memSearch = codeField("memSearch", nullptr);
    pnlActionString = captionBar("pnlActionString", QStringLiteral("Replace by"), nullptr);
    memAndAction = codeField("memAndAction", nullptr);
    pnlCodeEditor = new SplitPane(captionedPane("pnlSearch", pnlSearchString, memSearch),
                                  captionedPane("pnlAndAction", pnlActionString, memAndAction));
    pnlCodeEditor->setObjectName(QStringLiteral("pnlCodeEditor"));

    Splitter1 = new SideSplitter(pageWidget);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(tvActions);
    Splitter1->addWidget(pnlCodeEditor);
    Splitter1->setSideWidth(settings_.Tree_Width);

    auto* layout = new QVBoxLayout(pageWidget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(Splitter1, 1);

    connect(memSearch, &QPlainTextEdit::textChanged, this, [this] { SaveRightNow(); });
    connect(memAndAction, &QPlainTextEdit::textChanged, this, [this] { SaveRightNow(); });
    connect(memFileToEdit, &QLineEdit::textChanged, this, [this] { SaveRightNow(); });
    connect(tvActions->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFormMain::tvActionsChange);
    // A reset drops the selection without telling the selection model's
    // listeners; it is a selection change all the same.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { tvActionsChange({}, {}); });
    for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model_, changed, this, [this] { UpdateStepStatus(); });
    connect(model_, &QAbstractItemModel::rowsMoved, this, [this] { UpdateStepStatus(); });
    connect(tvActions, &ActionTreeView::treeClicked, this, [this] { UpdateStepStatus(); });
    connect(tvActions, &ActionTreeView::keyReleased, this, [this] { UpdateStepStatus(); });
    connect(tvActions, &ActionTreeView::nodeDropped, this,
            [this](const QModelIndex& dragged, const QModelIndex& target) {
                dropNode(model_->nodeFromIndex(dragged), model_->nodeFromIndex(target));
            });
    return pageWidget;
}

void TFormMain::createToolBarsAndMenus() {
    ToolBar2 = addToolBar(QStringLiteral("ToolBar2"));
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolBar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->toggleViewAction()->setVisible(false);
    for (const char* name : {"actNew", "actOpen", "actSave"})
        ToolBar2->addAction(command(name));
    ToolBar2->addSeparator();
    for (const char* name : {"actUndo", "actRedo"})
        ToolBar2->addAction(command(name));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mmiFile"));
    connect(file, &QMenu::aboutToShow, this, [this] { mmiFileClick(); });
    file->addAction(command("actNew"));
    file->addAction(command("actNewModFromChanges"));
    file->addAction(command("actOpen"));
    file->addAction(command("actReopen"));
    file->addAction(command("actSave"));
    file->addAction(command("actSaveAs"));
    file->addAction(command("actPrint"));
    file->addAction(command("actPrintSetup"));
    file->addSeparator();
    file->addAction(command("actExit"));

    createEditMenu();

    QMenu* action = menuBar()->addMenu(QStringLiteral("&Action"));
    action->setObjectName(QStringLiteral("mmiAction"));
    for (const char* name : {"actAddEditFile", "actAddReplace", "actAddBefore", "actAddAfter"})
        action->addAction(command(name));
    action->addSeparator();
    action->addAction(command("actDeleteAction"));
    action->addSeparator();
    action->addAction(command("actMoveUp"));
    action->addAction(command("actMoveDown"));
    action->addSeparator();
    action->addAction(command("actUndo"));
    action->addAction(command("actRedo"));

    QMenu* tool = menuBar()->addMenu(QStringLiteral("&Tool"));
    tool->setObjectName(QStringLiteral("mmiTool"));
    tool->addAction(command("actTestMod"));
    tool->addAction(command("actUseForumLines"));
    tool->addAction(command("actConvertLineEnds"));
    tool->addSeparator();
    tool->addAction(command("actOption"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mmiHelp"));
    help->addAction(command("actAbout"));

    pmForMemo = new QMenu(this);
    pmForMemo->setObjectName(QStringLiteral("pmForMemo"));
    pmForMemo->addAction(command("EditUndo1"));
    pmForMemo->addSeparator();
    for (const char* name : {"EditCut1", "EditCopy1", "EditPaste1"})
        pmForMemo->addAction(command(name));
    pmForMemo->addSeparator();
    pmForMemo->addAction(command("EditSelectAll1"));
    pmForMemo->addSeparator();
    pmForMemo->addAction(command("actSearch"));
    pmForMemo->addAction(command("actReplace"));

    pmActionTree = new QMenu(this);
    pmActionTree->setObjectName(QStringLiteral("pmActionTree"));
    for (const char* name :
         {"actSearchAndReplace", "actSearchAndAddBefore", "actSearchAndAddAfter"})
        pmActionTree->addAction(command(name));
    pmActionTree->addSeparator();
    for (const char* name : {"EditCut1", "EditCopy1", "EditPaste1", "actDuplicate"})
        pmActionTree->addAction(command(name));
    pmActionTree->addSeparator();
    pmActionTree->addAction(command("actMoveUp"));
    pmActionTree->addAction(command("actMoveDown"));

    for (QWidget* field : textFields()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(field);
        connect(field, &QWidget::customContextMenuRequested, this, [this, field, area](QPoint pos) {
            field->setFocus(Qt::PopupFocusReason);
            updateCommandStates();
            // Scroll areas report the position in their viewport.
            pmForMemo->exec(area ? area->viewport()->mapToGlobal(pos) : field->mapToGlobal(pos));
        });
    }
    connect(tvActions, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        updateCommandStates();
        const auto entries = pmActionTree->actions();
        if (std::any_of(entries.begin(), entries.end(), [](QAction* a) { return a->isVisible(); }))
            pmActionTree->exec(tvActions->viewport()->mapToGlobal(pos));
    });
}

void TFormMain::createStatusBar() {
    stepPanel_ = new QLabel(QStringLiteral("Step #"), this);
    stepPanel_->setObjectName(QStringLiteral("StatusBarPanel0"));
    stepPanel_->setMinimumWidth(50);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->addWidget(stepPanel_);
    encodingPanel_ = new QLabel(this);
    encodingPanel_->setObjectName(QStringLiteral("StatusBarEncoding"));
    encodingPanel_->setToolTip(QStringLiteral("The encoding the mod's texts are saved in"));
    statusBar()->addPermanentWidget(encodingPanel_);
    updateEncodingStatus();
    // A new document, or Undo and Redo of a conversion, may change it.
    connect(mod_, &OpenMod::replaced, this, [this] { updateEncodingStatus(); });
    connect(mod_, &OpenMod::historyApplied, this, [this] { updateEncodingStatus(); });
    createLineEndsStatus();
}

} // namespace torvale
