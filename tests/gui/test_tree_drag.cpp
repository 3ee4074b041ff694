// Nodes dragged in the action tree with the mouse, as a user drags them:
// where they land, the line that shows it, and scrolling to far targets.
//
// Run on Qt's "minimal" platform: the "offscreen" one ends every drag at once.
#include "gui_support.h"

#include "ui/widgets/action_tree_view.h"

#include <QLineEdit>
#include <QScrollBar>

using namespace torvale;
using namespace torvale::test;

class TreeDragTest : public QObject {
    Q_OBJECT

private slots:
    void realDragsMoveNodesByTheRule();
    void dragScrollsToTargetsOutOfView();
};

void TreeDragTest::realDragsMoveNodesByTheRule() {
    Opened t(twoFilesMod());
    const ModDocument& doc = t.window->model().document();
    const auto center = [&](const QModelIndex& i) { return t.tree->visualRect(i).center(); };
    const auto order = [&] {
        QStringList texts;
        for (int f = 0; f < doc.topLevelCount(); ++f)
            for (int c = 0; c < doc.topLevel(f)->childCount(); ++c)
                texts << QString::fromStdString(doc.topLevel(f)->child(c)->item().SearchText.str())
                             .remove(QStringLiteral("Sources/"));
        return texts;
    };

    // Onto its next sibling: the order stays, so nothing was edited.
    t.click(t.index(0, 0));
    drag(t.tree->viewport(), center(t.index(0, 0)), {center(t.index(0, 1))});
    QCOMPARE(order(), (QStringList{"A.pm#0", "A.pm#1", "B.pm#0", "B.pm#1", "B.pm#2"}));
    QVERIFY(!t.window->isModified());

    // Onto a search action of another group: just before it, and the drop
    // shows a line there while the node hovers over it.
    t.click(t.index(0, 0));
    QImage hovering;
    const QRect target = t.tree->visualRect(t.index(1, 1));
    drag(t.tree->viewport(), center(t.index(0, 0)), {target.center()}, 0,
         [&] { hovering = t.tree->viewport()->grab().toImage(); });
    QCOMPARE(order(), (QStringList{"A.pm#1", "B.pm#0", "A.pm#0", "B.pm#1", "B.pm#2"}));
    QVERIFY(t.window->isModified());
    QCOMPARE(t.window->selectedNode()->item().SearchText, "Sources/A.pm#0");
    QCOMPARE(child<QLineEdit>(*t.window, "memFileToEdit")->text(), QStringLiteral("Sources/B.pm"));
    const qreal ratio = hovering.devicePixelRatio();
    QVERIFY2(qGray(hovering.pixel(int((target.right() - 8) * ratio), int(target.top() * ratio))) <
                 100,
             "a drop line at the top of the target row");

    // Onto its own edit file: to the end of the group.
    t.click(t.index(1, 0));
    drag(t.tree->viewport(), center(t.index(1, 0)), {center(t.index(1))});
    QCOMPARE(order(), (QStringList{"A.pm#1", "A.pm#0", "B.pm#1", "B.pm#2", "B.pm#0"}));

    // An edit file over a search action is refused; onto an edit file it
    // goes before it, with its search actions.
    t.click(t.index(1));
    drag(t.tree->viewport(), center(t.index(1)), {center(t.index(0, 0))});
    QCOMPARE(doc.topLevel(0)->item().FileName, "Sources/A.pm");
    drag(t.tree->viewport(), center(t.index(1)), {center(t.index(0))});
    QCOMPARE(doc.topLevel(0)->item().FileName, "Sources/B.pm");
    QCOMPARE(order(), (QStringList{"A.pm#0", "B.pm#1", "B.pm#2", "B.pm#0", "A.pm#1"}));
}

void TreeDragTest::dragScrollsToTargetsOutOfView() {
    Opened t(manyFilesMod(60));
    t.window->resize(621, 420);
    QTRY_COMPARE(t.window->height(), 420);
    t.tree->scrollToTop();
    t.click(t.index(0, 0));
    const int shownRows = t.tree->viewport()->height() / t.tree->visualRect(t.index(0)).height();
    const QPoint bottomEdge(40, t.tree->viewport()->height() - 3);
    drag(t.tree->viewport(), t.tree->visualRect(t.index(0, 0)).center(), {bottomEdge, bottomEdge},
         1500);
    QVERIFY(t.tree->verticalScrollBar()->value() > 0);
    const Node* moved = t.window->selectedNode();
    QCOMPARE(moved->item().SearchText, "find 0");
    QVERIFY2(moved->parent()->row() > shownRows / 2,
             qPrintable(QStringLiteral("landed in group %1").arg(moved->parent()->row())));
}

QTEST_MAIN(TreeDragTest)
#include "test_tree_drag.moc"
