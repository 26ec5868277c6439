#include "settings_window_test_support.h"
#include "text/scalar_order.h"
#include "text/text_post_processor.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

// Stored out of order with a decomposed "École"; shown in scalar order of the normalised
// strings: capitals first, "É" after "z".
static const QStringList kStored = {u"alpha"_qs, u"Zeta"_qs, u"E\u0301cole"_qs, u"Beta"_qs};
static const QStringList kShown = {u"Beta"_qs, u"Zeta"_qs, u"alpha"_qs, u"E\u0301cole"_qs};

// The dialog a click opens blocks in its own event loop: act from inside that loop.
static void whenModalAppears(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(10, [act] {
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget(); }));
        act(QApplication::activeModalWidget());
    });
}

class HotwordEditorTest : public QObject {
    Q_OBJECT

    // An untouched list stays unsorted on disk: loading writes nothing back.
    void expect(const QStringList& shown, const QStringList& onDisk)
    {
        QStringList rows;
        for (int row = 0; row < m_table->model()->rowCount(); ++row)
            rows.append(m_table->model()->index(row, 0).data().toString());
        QCOMPARE(rows, shown);
        QCOMPARE(stored(u"hotwords"_qs).toStringList(), onDisk);
        QCOMPARE(m_window.control<QLabel>("hotwordCountLabel")->text(), u"共 %1 个热词"_qs.arg(shown.size()));
    }
    void click(const char* name) { QTest::mouseClick(m_window.control(name), Qt::LeftButton); }
    void select(int row) { m_table->setCurrentIndex(m_table->model()->index(row, 0)); }
    OpenSettingsWindow m_window;
    QTableView* m_table = nullptr;

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_window.open({{"hotwords", kStored}}));
        auto* tabs = m_window.control<QTabWidget>("tabView");
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
        m_table = m_window.control<QTableView>("hotwordTableView");
    }
    void cleanup() { m_window.controller.reset(); }

    void addOrEdit_data()
    {
        QTest::addColumn<int>("row"); // -1: a new word through "添加"
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected"); // empty: refused
        QTest::newRow("add, trimmed")
            << -1 << "\t\u3000 Qt\u00a0\u3000" << QStringList {"Beta", "Qt", "Zeta", "alpha", "E\u0301cole"};
        QTest::newRow("add Chinese, after the Latin words")
            << -1 << "语音识别" << QStringList {"Beta", "Zeta", "alpha", "E\u0301cole", "语音识别"};
        QTest::newRow("add a comma") << -1 << "a,b" << QStringList();
        QTest::newRow("add only spaces") << -1 << " \u3000\t " << QStringList();
        QTest::newRow("add a duplicate once trimmed") << -1 << "\u3000Zeta " << QStringList();
        QTest::newRow("edit, trimmed and re-sorted")
            << 1 << "\u3000 Gamma\t" << QStringList {"Beta", "Gamma", "alpha", "E\u0301cole"};
        QTest::newRow("edit to a duplicate")
            << 1 << "Beta" << QStringList {"Beta", "Beta", "alpha", "E\u0301cole"};
        QTest::newRow("edit to empty") << 1 << "" << QStringList();
        QTest::newRow("edit to a comma") << 1 << "Ze,ta" << QStringList();
    }
    void addOrEdit()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        // Typing goes wherever the focus is: it must be the field.
        const auto type = [&typed](QWidget* field) {
            QVERIFY(qobject_cast<QLineEdit*>(field));
            replaceText(field, typed);
            QTest::keyClick(field, Qt::Key_Return);
        };
        if (row < 0) {
            whenModalAppears([&](QWidget* dialog) { type(dialog->focusWidget()); });
            click("addButton");
        } else {
            select(row);
            QTest::keyClick(m_table, Qt::Key_F2);
            QPointer<QWidget> editor = m_window.controller->window()->focusWidget();
            type(editor);
            QTRY_VERIFY(!editor || !editor->isVisible());
        }
        QVERIFY(m_window.controller->window()->isVisible()); // Return ends the edit only
        expect(expected.isEmpty() ? kShown : expected, expected.isEmpty() ? kStored : expected);
    }

    void deleteAndReset()
    {
        click("deleteButton"); // nothing selected
        expect(kShown, kStored);
        select(2);
        click("deleteButton");
        const QStringList left {u"Beta"_qs, u"Zeta"_qs, u"E\u0301cole"_qs};
        expect(left, left);
        // Escape chooses "取消", Return the default "恢复".
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            whenModalAppears([key](QWidget* dialog) { QTest::keyClick(dialog, key); });
            click("resetButton");
            if (key == Qt::Key_Escape)
                expect(left, left);
        }
        QStringList defaults = TextPostProcessor::defaultHotwords();
        sortByUnicodeScalars(defaults);
        expect(defaults, defaults);
    }
};

QTEST_MAIN(HotwordEditorTest)
#include "tst_hotword_editor.moc"
