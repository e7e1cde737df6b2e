// The table editor driven as a user would: New curve and Table in a curve window, typing with real keys,
// the popup's clipboard and row commands, auto update, closing, and tables following their curves.
#include "app/EditGrid.h"
#include "app/InsertCellsDialog.h"
#include "app/curvewin.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QApplication>
#include <QClipboard>
#include <QSpinBox>
#include <QTest>

#include <cstring>

namespace {
bool SameBits(const TCurveA& a, const TCurveA& b) {
    if (a.Count() != b.Count()) return false;
    const auto n = sizeof(double) * static_cast<size_t>(a.Count());
    return std::memcmp(a.XData(), b.XData(), n) == 0 && std::memcmp(a.YData(), b.YData(), n) == 0;
}

// Keys go where the user's keys go: to the widget with the focus (the cell's line edit while typing); `end`
// (Enter, Tab) after the text.
void Type(const QString& text, Qt::Key end = Qt::Key_unknown) {
    for (const QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    if (end != Qt::Key_unknown) QTest::keyClick(QApplication::focusWidget(), end);
}
void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, mods);
}

// The window has the keyboard (activation reaches a new window only through the event loop).
bool Active(QWidget* w) {
    return w != nullptr && QTest::qWaitFor([w] { return QApplication::activeWindow() == w; });
}

} // namespace

class TestTableEditor : public QObject, TWindowFixture {
    Q_OBJECT

    TCurvePanel& Panel() const { return *win->CurvePanel; }
    TPlottedCurve& Curve(int n) const { return *Panel().Curve(n); }
    TCurveEditGrid* Editor(int n) const { return dynamic_cast<TCurveEditGrid*>(Panel().TableWindow(n)); }
    void Add(const TCurveB& c) { QVERIFY(Panel().AddCurve(c, true, true)); }

    // Opens the table of curve n with the Table button and waits until it has the keyboard.
    TCurveEditGrid* OpenTable(int n) {
        Panel().SetActiveCurve(n);
        A("TableBtn")->trigger();
        TCurveEditGrid* e = Editor(n);
        if (e != nullptr && !Active(e)) return nullptr;
        return e;
    }
    void ClickCell(TCurveEditGrid* e, int row, int column) {
        TCurveGridView* v = e->Grid();
        v->scrollTo(e->Model()->index(row, column));
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {},
                          v->visualRect(e->Model()->index(row, column)).center());
    }
    void SelectCells(TCurveEditGrid* e, int top, int left, int bottom, int right) {
        ClickCell(e, top, left);
        TCurveGridView* v = e->Grid();
        QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          v->visualRect(e->Model()->index(bottom, right)).center());
    }
    // Opens the table of curve n, turns Auto Update off and types `text` into the y cell of the first row: an
    // edit its curve does not have yet.
    TCurveEditGrid* OpenWithPendingEdit(int n, const QString& text) {
        TCurveEditGrid* e = OpenTable(n);
        if (e == nullptr) return nullptr;
        e->Action(QStringLiteral("AutoUpdate1"))->trigger();
        ClickCell(e, 0, 1);
        Type(text, Qt::Key_Return);
        return e;
    }
    static QStringList Row(TCurveEditGrid* e, int row) { return {e->CellText(row, 0), e->CellText(row, 1)}; }

private slots:
    void initTestCase() { IsolateUserFiles(); }
    // The window has the keyboard: its shortcuts work.
    void init() { QVERIFY(OpenWindow() && Active(win.get())); }
    void cleanup() { CloseWindow(); }

    void newCurveTakesTypedRowsWithXAndYOnly() {
        QTest::keyClick(win.get(), Qt::Key_N, Qt::ControlModifier);
        TCurveEditGrid* e = Editor(1);
        QVERIFY(e != nullptr);
        QVERIFY(Active(e));
        QCOMPARE(Panel().ActiveIndex(), 1);
        QCOMPARE(e->windowTitle(), QStringLiteral("#1: "));
        QCOMPARE(e->Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("X"));
        QCOMPARE(e->Model()->rowCount(), 20);

        // Letters do not open a cell; a number key does and is the first character.
        ClickCell(e, 0, 0);
        Type(QStringLiteral("x1e3"), Qt::Key_Return);
        QCOMPARE(e->CellText(0, 0), QStringLiteral("1000.0000"));
        QCOMPARE(e->Grid()->currentIndex().row(), 1);
        Type(QStringLiteral("2"), Qt::Key_Return);
        QCOMPARE(Curve(1).Count(), 0); // rows without y are no points

        ClickCell(e, 0, 1);
        Type(QStringLiteral("-0.5"), Qt::Key_Return);
        QCOMPARE(Curve(1).Count(), 1);
        QCOMPARE(Curve(1).Y(1), -0.5);
        QVERIFY(!Curve(1).Saved);
        // Shift+Enter goes back up; text that is no number is wiped and takes the value away.
        Type(QStringLiteral("7"));
        Key(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(e->Grid()->currentIndex().row(), 0);
        Type(QStringLiteral("-x"), Qt::Key_Return);
        QCOMPARE(Row(e, 0), QStringList({QStringLiteral("1000.0000"), QString()}));
        QCOMPARE(Curve(1).Count(), 1);
        QCOMPARE(Curve(1).X(1), 2.0);
        QCOMPARE(Curve(1).Y(1), 7.0);

        // Typing into the last row adds a row after it.
        ClickCell(e, 19, 0);
        Type(QStringLiteral("5"), Qt::Key_Return);
        QCOMPARE(e->Model()->rowCount(), 21);
    }

    void closingTablesRemovesOnlyEmptyNewCurvesAndKeepsUndoRight() {
        Add(MakeCurve({{0, 0}, {1, 1}}, "a.dat"));
        Add(MakeCurve({{5, 5}}, "one.dat"));
        // Closing the table of a loaded one-point curve keeps it.
        OpenTable(2)->close();
        QTRY_VERIFY(Editor(2) == nullptr);
        QCOMPARE(Panel().CurveCount(), 2);

        A("NewBtn")->trigger();
        TCurveEditGrid* e = Editor(3);
        QVERIFY(Active(e));
        Type(QStringLiteral("1"), Qt::Key_Tab);
        Type(QStringLiteral("2"), Qt::Key_Return);
        QCOMPARE(Curve(3).Count(), 1);
        Add(MakeCurve({{0, 3}, {1, 4}}, "b.dat"));
        // Curve 4 replaced: its undo belongs to number 4 until curve 3 goes.
        Panel().ApplyResult(std::make_unique<TCurveB>(MakeCurve({{0, 9}, {1, 9}})), false, 4);
        e->close();
        QCOMPARE(Panel().CurveCount(), 3);
        QCOMPARE(Curve(3).Y(1), 9.0);
        Panel().Undo();
        QCOMPARE(Curve(3).FileName, std::string("b.dat"));
    }

    void clipboardBlocksKeepGapsAndPairs() {
        Add(MakeCurve({{1, 10}, {2, 20}, {3, 30}}));
        TCurveEditGrid* e = OpenTable(1);
        // Clearing one column empties cells without moving the others: x 2 stays beside its row.
        ClickCell(e, 1, 1);
        Key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(Row(e, 2), QStringList({QStringLiteral("3.0000"), QStringLiteral("30.0000")}));
        QCOMPARE(Curve(1).Count(), 2);

        SelectCells(e, 0, 0, 1, 1);
        Key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t10\r\n2\t-1.23456789E10\r\n"));
        ClickCell(e, 3, 0);
        Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Row(e, 3), QStringList({QStringLiteral("1.0000"), QStringLiteral("10.0000")}));
        QCOMPARE(Row(e, 4), QStringList({QStringLiteral("2.0000"), QString()}));
        QCOMPARE(Curve(1).Count(), 3);

        // Three numbers on a line pasted at x: x and y, the third ignored, the rows below moved down whole.
        QApplication::clipboard()->setText(QStringLiteral("7 8 9\n"));
        ClickCell(e, 0, 0);
        Key(Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(Row(e, 0), QStringList({QStringLiteral("7.0000"), QStringLiteral("8.0000")}));
        QCOMPARE(Row(e, 1), QStringList({QStringLiteral("1.0000"), QStringLiteral("10.0000")}));
        QCOMPARE(Curve(1).Count(), 4);
        QCOMPARE(Curve(1).X(1), 7.0);

        // Cut of whole rows in insert mode closes the gap; CR-only and LF line ends both paste.
        SelectCells(e, 0, 0, 1, 1);
        Key(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(Row(e, 0), QStringList({QStringLiteral("2.0000"), QString()}));
        QCOMPARE(Curve(1).Count(), 2);
        e->SetInsertMode(false);
        QApplication::clipboard()->setText(QStringLiteral("4\r5\n"));
        ClickCell(e, 0, 1);
        Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Row(e, 1), QStringList({QStringLiteral("3.0000"), QStringLiteral("5.0000")}));
        QCOMPARE(Curve(1).Count(), 3);

        // A spreadsheet's block: every tab ends a cell, so an empty x cell keeps its y in the y column.
        e->SetInsertMode(true);
        QApplication::clipboard()->setText(QStringLiteral("x\ty\n\t30\n4\t\n"));
        ClickCell(e, 0, 0);
        Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Row(e, 0), QStringList({QString(), QStringLiteral("30.0000")}));
        QCOMPARE(Row(e, 1), QStringList({QStringLiteral("4.0000"), QString()}));
        QCOMPARE(Curve(1).Count(), 3);
        // Into y only numbers go: a spreadsheet's empty first cell and a name before the number are skipped.
        QApplication::clipboard()->setText(QStringLiteral("\t7\r\nname\t8\r\n"));
        ClickCell(e, 0, 1);
        Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Row(e, 0), QStringList({QString(), QStringLiteral("7.0000")}));
        QCOMPARE(Row(e, 1), QStringList({QStringLiteral("4.0000"), QStringLiteral("8.0000")}));
        QCOMPARE(Curve(1).Count(), 4);
    }

    void tableEditsAreUndoneFromTheWindow() {
        Add(MakeCurve({{1, 10}, {2, 20}, {3, 30}}, "a.dat"));
        A("X1")->trigger(); // y * x: 10, 40, 90
        TCurveEditGrid* e = OpenTable(1);
        ClickCell(e, 0, 1);
        Type(QStringLiteral("777"), Qt::Key_Return);
        QCOMPARE(Curve(1).Y(1), 777.0);
        // Undo takes back the edit, not the operation before it; the table shows the curve again.
        A("Undo1")->trigger();
        QCOMPARE(Curve(1).Y(1), 10.0);
        QCOMPARE(Curve(1).Y(2), 40.0);
        QCOMPARE(e->CellText(0, 1), QStringLiteral("10.0000"));

        // Del clears the selected cells: all of them empty the curve, and Undo brings its points back.
        Key(Qt::Key_A, Qt::ControlModifier);
        Key(Qt::Key_Delete);
        QCOMPARE(Curve(1).Count(), 0);
        QVERIFY(A("Undo1")->isEnabled());
        A("Undo1")->trigger();
        QCOMPARE(Curve(1).Count(), 3);
        QCOMPARE(Row(e, 2), QStringList({QStringLiteral("3.0000"), QStringLiteral("90.0000")}));

        // A loaded curve emptied through its table goes when the table closes, if the user says so; Undo
        // brings it back as it was.
        Add(MakeCurve({{0, 5}, {1, 5}}, "b.dat"));
        Key(Qt::Key_A, Qt::ControlModifier);
        Key(Qt::Key_Delete);
        msg->ConfirmAnswers = {false, true};
        e->close();
        QVERIFY(e->isVisible());
        QCOMPARE(Panel().CurveCount(), 2);
        e->close();
        QCOMPARE(msg->Texts("confirm"),
                 QStringList(2, QStringLiteral("Curve #1 has no points left. Remove it?")));
        QCOMPARE(Panel().CurveCount(), 1);
        QCOMPARE(Curve(1).FileName, std::string("b.dat"));
        A("Undo1")->trigger();
        QCOMPARE(Panel().CurveCount(), 2);
        QCOMPARE(Curve(2).FileName, std::string("a.dat"));
        QCOMPARE(Curve(2).Y(3), 90.0);
    }

    void staleTableAsksBeforeWritingOverANewerCurve() {
        Add(MakeCurve({{1, 10}, {2, 20}, {3, 30}}, "a.dat"));
        TCurveEditGrid* e = OpenWithPendingEdit(1, QStringLiteral("5"));
        A("X1")->trigger(); // the curve changes under the edit: 10, 40, 90
        QCOMPARE(e->CellText(1, 1), QStringLiteral("20.0000"));
        const QString question =
            QStringLiteral("Curve #1 has changed since its table was loaded.\nWrite the "
                           "table over the curve (Yes), or load the curve into the table "
                           "(No)?");
        // Cancel leaves both as they are.
        msg->SaveAnswers = {TSaveAnswer::Cancel};
        e->Action(QStringLiteral("Update1"))->trigger();
        QCOMPARE(msg->Texts("asksave"), QStringList{question});
        QCOMPARE(Curve(1).Y(2), 40.0);
        QCOMPARE(e->CellText(0, 1), QStringLiteral("5.0000"));
        // Yes writes the table; Undo brings back the operation's result.
        msg->SaveAnswers = {TSaveAnswer::Yes};
        e->Action(QStringLiteral("Update1"))->trigger();
        QCOMPARE(Curve(1).Y(1), 5.0);
        QCOMPARE(Curve(1).Y(2), 20.0);
        A("Undo1")->trigger();
        QCOMPARE(Curve(1).Y(2), 40.0);
        QCOMPARE(e->CellText(0, 1), QStringLiteral("10.0000"));

        // No loads the newer curve into the table.
        ClickCell(e, 2, 1);
        Type(QStringLiteral("7"), Qt::Key_Return);
        A("X1")->trigger(); // 10, 80, 270
        msg->SaveAnswers = {TSaveAnswer::No};
        e->Action(QStringLiteral("Update1"))->trigger();
        QCOMPARE(Curve(1).Y(3), 270.0);
        QCOMPARE(e->CellText(2, 1), QStringLiteral("270.0000"));
        // An edit of a table whose curve did not change goes in without a question.
        ClickCell(e, 2, 1);
        Type(QStringLiteral("3"), Qt::Key_Return);
        e->Action(QStringLiteral("Update1"))->trigger();
        QCOMPARE(Curve(1).Y(3), 3.0);
        QCOMPARE(msg->Texts("asksave").size(), 3);

        // Closing: Yes to applying, then Cancel to writing over the newer curve keeps the table open.
        ClickCell(e, 0, 1);
        Type(QStringLiteral("1"), Qt::Key_Return);
        A("X1")->trigger();
        msg->SaveAnswers = {TSaveAnswer::Yes, TSaveAnswer::Cancel};
        e->close();
        QVERIFY(e->isVisible());
        QCOMPARE(Curve(1).Y(3), 9.0);
        QCOMPARE(msg->Texts("asksave").mid(3),
                 (QStringList{QStringLiteral("Apply the changes in the table to curve #1 ?"), question}));
    }

    void openingTheFitPanelClosesTablesAsTheUserWould() {
        Add(MakeCurve({{0, 1}, {1, 2}, {2, 3}}, "a.dat"));
        TCurveEditGrid* e = OpenWithPendingEdit(1, QStringLiteral("5"));
        A("NewCurve1")->trigger();
        QVERIFY(Editor(2) != nullptr);
        // The empty New curve goes with its table; Cancel to applying the edit keeps its table and the panel
        // shut.
        msg->SaveAnswers = {TSaveAnswer::Cancel};
        A("Fit1")->trigger();
        QCOMPARE(msg->Texts("asksave"),
                 QStringList{QStringLiteral("Apply the changes in the table to curve #1 ?")});
        QCOMPARE(Panel().CurveCount(), 1);
        QVERIFY(e->isVisible());
        QVERIFY(!win->FitPanelShowing());
        QVERIFY(!A("FitBtn")->isChecked());
        msg->SaveAnswers = {TSaveAnswer::Yes};
        A("FitBtn")->trigger();
        QVERIFY(win->FitPanelShowing());
        QCOMPARE(Curve(1).Y(1), 5.0);
        QVERIFY(Editor(1) == nullptr);
    }

    void autoUpdateOffKeepsEditsUntilUpdate() {
        Add(MakeCurve({{1, 10}, {2, 20}}, "a.dat"));
        TCurveEditGrid* e = OpenWithPendingEdit(1, QStringLiteral("99"));
        QCOMPARE(Curve(1).Y(1), 10.0);
        // A change of the set does not throw the edit away.
        Add(MakeCurve({{0, 0}, {1, 1}}));
        QCOMPARE(e->CellText(0, 1), QStringLiteral("99.0000"));
        e->Action(QStringLiteral("Update1"))->trigger();
        QCOMPARE(Curve(1).Y(1), 99.0);

        // Closing with edits not applied asks; Cancel keeps the table, Yes applies.
        Type(QStringLiteral("5"), Qt::Key_Return);
        msg->SaveAnswers = {TSaveAnswer::Cancel, TSaveAnswer::Yes};
        e->close();
        QVERIFY(e->isVisible());
        e->close();
        QCOMPARE(msg->Texts("asksave").last(),
                 QStringLiteral("Apply the changes in the table to curve #1 ?"));
        QCOMPARE(Curve(1).Y(2), 5.0);

        // Clearing the window asks about held edits first; Cancel there keeps table and curves.
        e = OpenTable(1);
        if (e->Action(QStringLiteral("AutoUpdate1"))->isChecked())
            e->Action(QStringLiteral("AutoUpdate1"))->trigger();
        ClickCell(e, 0, 1);
        Type(QStringLiteral("7"), Qt::Key_Return);
        msg->Log.clear();
        msg->SaveAnswers = {TSaveAnswer::Cancel};
        win->ClearAll();
        QCOMPARE(msg->Texts("asksave"), QStringList{"Apply the changes in the table to curve #1 ?"});
        QCOMPARE(Panel().CurveCount(), 2);
        QVERIFY(e->isVisible());
    }

    void extremeValuesRoundTripBitForBit() {
        TCurveB c;
        for (int i = 1; i <= 6; ++i) c.AddPoint(i * 1.234567890123457e-300 / 3, 1e300 * (1 + i / 7.0));
        c.AddPoint(0.1 + 0.2, -1e-300);
        c.CalcRanges();
        c.FileName = "tiny.dat";
        c.Saved = true;
        Add(c);
        TCurveEditGrid* e = OpenTable(1);
        QCOMPARE(e->CellText(0, 0), QStringLiteral("0.0000"));
        // Looking, moving about and confirming a shown text unchanged alter nothing.
        ClickCell(e, 2, 0);
        Key(Qt::Key_F2);
        Key(Qt::Key_Return);
        e->Action(QStringLiteral("Update1"))->trigger();
        QVERIFY(Curve(1).Saved);
        QVERIFY(SameBits(Curve(1), c));

        // A new point typed below: the others keep every bit.
        ClickCell(e, 7, 0);
        Type(QStringLiteral("1"), Qt::Key_Tab);
        Type(QStringLiteral("2"), Qt::Key_Return);
        QCOMPARE(Curve(1).Count(), 8);
        Curve(1).SetCount(7);
        QVERIFY(SameBits(Curve(1), c));

        // Through the clipboard into a new curve's table.
        e->Grid()->selectAll();
        Key(Qt::Key_C, Qt::ControlModifier);
        A("NewCurve1")->trigger();
        TCurveEditGrid* other = Editor(2);
        QVERIFY(Active(other));
        Key(Qt::Key_V, Qt::ControlModifier);
        Curve(2).SetCount(7);
        QVERIFY(SameBits(Curve(2), c));
    }

    void insertedRowsMoveTheRowsBelow() {
        Add(MakeCurve({{1, 10}, {2, 20}}));
        TCurveEditGrid* e = OpenTable(1);
        ClickCell(e, 1, 0);
        WhileShown<TInsertCellsDlg>([](TInsertCellsDlg& d) {
            d.findChild<QSpinBox*>()->setValue(3);
            d.accept();
        });
        e->Action(QStringLiteral("InsertRows1"))->trigger();
        QCOMPARE(Row(e, 4), QStringList({QStringLiteral("2.0000"), QStringLiteral("20.0000")}));
        QCOMPARE(Curve(1).Count(), 2);
    }

    void tablesFollowTheirCurves() {
        for (int i = 1; i <= 4; ++i)
            Add(MakeCurve({{0, double(i)}, {1, 1}}, "c" + std::to_string(i) + ".dat"));
        for (int n = 2; n <= 4; ++n) OpenTable(n);
        // Each table opens one step down and right of the one before, its caption in sight.
        for (int n = 3; n <= 4; ++n) {
            const QPoint step = Editor(n)->pos() - Editor(n - 1)->pos();
            QVERIFY2(step.x() >= 24 && step.y() == step.x(),
                     qPrintable(QStringLiteral("%1 %2").arg(step.x()).arg(step.y())));
        }
        Panel().SetActiveCurve(2);
        A("Delete1")->trigger();
        QCOMPARE(Editor(2)->windowTitle(), QStringLiteral("#2: c3.dat"));
        QCOMPARE(Editor(3)->windowTitle(), QStringLiteral("#3: c4.dat"));
        QCOMPARE(Editor(3)->CellText(0, 1), QStringLiteral("4.0000"));

        // Save as renames the table; the curve's new points reach the table.
        Panel().SetActiveCurve(3);
        msg->FileNames = {Path("new.dat")};
        A("SaveAs1")->trigger();
        QCOMPARE(Editor(3)->windowTitle(), QStringLiteral("#3: ") + Path("new.dat"));
        A("X1")->trigger();
        QCOMPARE(Editor(3)->CellText(0, 1), QStringLiteral("0.0000"));

        // Clear all closes every table first.
        msg->SaveAnswers = {TSaveAnswer::No, TSaveAnswer::No, TSaveAnswer::No};
        QPointer<QWidget> table = Editor(2);
        A("Clearall1")->trigger();
        QCOMPARE(Panel().CurveCount(), 0);
        QVERIFY(Editor(2) == nullptr && Editor(3) == nullptr);
        QTRY_VERIFY(table.isNull());
    }
};

QTEST_MAIN(TestTableEditor)
#include "test_tableeditor.moc"
