#include "settings_window_test_support.h"

#include "settings/notification_center.h"
#include "text/scalar_order.h"
#include "text/text_post_processor.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>

using namespace SettingsWindowTestSupport;

// Stored out of order, with a decomposed "École": shown and kept in scalar order of the
// normalised strings, where capitals precede small letters and "É" follows "z".
static const QStringList kStored = {QStringLiteral("alpha"), QStringLiteral("Zeta"),
    QStringLiteral("E\u0301cole"), QStringLiteral("Beta")};
static const QStringList kShown = {QStringLiteral("Beta"), QStringLiteral("Zeta"), QStringLiteral("alpha"),
    QStringLiteral("E\u0301cole")};

class HotwordEditorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { skipWithoutDesktop(); }
    void init();
    void cleanup() { m_window.controller.reset(); }

    void loadsSorted();
    void add_data();
    void add();
    void edit_data();
    void edit();
    void deleteRemovesOnlyTheSelectedRow();
    void reset_data();
    void reset();

private:
    QStringList shown() const
    {
        QStringList rows;
        const QAbstractItemModel* model = m_table->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append(model->index(row, 0).data().toString());
        return rows;
    }
    QStringList storedHotwords() const { return stored(QStringLiteral("hotwords")).toStringList(); }
    QString countText() const { return m_count->text(); }
    void clickRow(int row)
    {
        const QRect cell = m_table->visualRect(m_table->model()->index(row, 0));
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    QPushButton* button(const char* name) const { return m_window.control<QPushButton>(name); }

    OpenSettingsWindow m_window;
    QTableView* m_table = nullptr;
    QLabel* m_count = nullptr;
};

void HotwordEditorTest::init()
{
    clearSettings();
    Settings::shared().setHotwords(kStored);
    QVERIFY(m_window.open());
    auto* tabs = m_window.control<QTabWidget>("tabView");
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, Qt::NoModifier, tabs->tabBar()->tabRect(1).center());
    QCOMPARE(tabs->currentIndex(), 1);
    m_table = m_window.control<QTableView>("hotwordTableView");
    m_count = m_window.control<QLabel>("hotwordCountLabel");
    QVERIFY(m_table && m_count);
    QCOMPARE(m_count->property("tag").toInt(), 200);
}

void HotwordEditorTest::loadsSorted()
{
    QCOMPARE(shown(), kShown);
    QCOMPARE(countText(), QStringLiteral("共 4 个热词"));
    QCOMPARE(m_table->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("热词"));
    QCOMPARE(m_table->columnWidth(0), 330);
    QCOMPARE(m_table->rowHeight(0), 22);
    // Loading alone writes nothing back.
    QCOMPARE(storedHotwords(), kStored);
}

void HotwordEditorTest::add_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("expected"); // empty: nothing changes
    const auto with = [](const QString& word) {
        QStringList list = kShown;
        list.append(word);
        sortByUnicodeScalars(list);
        return list;
    };
    QTest::newRow("spaces around") << "  Qt  " << true << with(QStringLiteral("Qt"));
    QTest::newRow("tabs and ideographic spaces") << "\t\u3000Qt\u3000\t" << true << with(QStringLiteral("Qt"));
    QTest::newRow("other space separators") << "\u00a0\u2003Qt\u202f" << true << with(QStringLiteral("Qt"));
    QTest::newRow("Chinese, after the Latin words") << "语音识别" << true << with(QStringLiteral("语音识别"));
    QTest::newRow("comma") << "a,b" << true << QStringList();
    QTest::newRow("only spaces") << " \u3000\t " << true << QStringList();
    QTest::newRow("duplicate") << "Zeta" << true << QStringList();
    QTest::newRow("duplicate once trimmed") << "\u3000Zeta " << true << QStringList();
    QTest::newRow("cancelled") << "Qt" << false << QStringList();
}

void HotwordEditorTest::add()
{
    QFETCH(QString, typed);
    QFETCH(bool, confirm);
    QFETCH(QStringList, expected);
    QString placeholder;
    QString title;
    whenModalAppears([&](QWidget* dialog) {
        title = dialog->windowTitle();
        // Typing goes wherever the dialog's focus is: it must be the field.
        auto* field = qobject_cast<QLineEdit*>(dialog->focusWidget());
        if (!field) {
            dialog->close();
            return;
        }
        placeholder = field->placeholderText();
        typeText(field, typed);
        if (confirm)
            QTest::keyClick(field, Qt::Key_Return);
        else
            QTest::mouseClick(buttonWithText(dialog, QStringLiteral("取消")), Qt::LeftButton);
    });
    QTest::mouseClick(button("addButton"), Qt::LeftButton);

    QCOMPARE(placeholder, QStringLiteral("例如: ChatGPT"));
    QCOMPARE(title, QStringLiteral("添加热词"));
    QVERIFY(!QApplication::activeModalWidget());
    if (expected.isEmpty()) {
        QCOMPARE(shown(), kShown);
        QCOMPARE(storedHotwords(), kStored);
        QCOMPARE(countText(), QStringLiteral("共 4 个热词"));
    } else {
        QCOMPARE(shown(), expected);
        QCOMPARE(storedHotwords(), expected);
        QCOMPARE(countText(), QStringLiteral("共 5 个热词"));
    }
    QVERIFY(m_window.controller->window()->isVisible());
}

void HotwordEditorTest::edit_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected"); // empty: the entry keeps its text
    QTest::newRow("renamed and re-sorted") << 1 << "Gamma"
                                           << QStringList{"Beta", "Gamma", "alpha", "E\u0301cole"};
    QTest::newRow("trimmed") << 1 << "\u3000 Gamma\t" << QStringList{"Beta", "Gamma", "alpha", "E\u0301cole"};
    QTest::newRow("duplicate allowed") << 1 << "Beta" << QStringList{"Beta", "Beta", "alpha", "E\u0301cole"};
    QTest::newRow("empty refused") << 1 << "" << QStringList();
    QTest::newRow("comma refused") << 1 << "Ze,ta" << QStringList();
}

void HotwordEditorTest::edit()
{
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);

    clickRow(row);
    QTest::keyClick(m_table, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(m_window.controller->window()->focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), kShown.at(row));
    replaceText(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);

    if (expected.isEmpty()) {
        QTRY_COMPARE(shown(), kShown);
        QCOMPARE(storedHotwords(), kStored);
    } else {
        QTRY_COMPARE(shown(), expected);
        QCOMPARE(storedHotwords(), expected);
    }
    QCOMPARE(countText(), QStringLiteral("共 4 个热词"));
    // Return ends the edit only: the window is neither saved nor closed.
    QVERIFY(m_window.controller->window()->isVisible());
    QCOMPARE(posted.count(), 0);
}

void HotwordEditorTest::deleteRemovesOnlyTheSelectedRow()
{
    QTest::mouseClick(button("deleteButton"), Qt::LeftButton);
    QCOMPARE(shown(), kShown);
    QCOMPARE(storedHotwords(), kStored);

    clickRow(2);
    QTest::mouseClick(button("deleteButton"), Qt::LeftButton);
    const QStringList left{QStringLiteral("Beta"), QStringLiteral("Zeta"), QStringLiteral("E\u0301cole")};
    QCOMPARE(shown(), left);
    QCOMPARE(storedHotwords(), left);
    QCOMPARE(countText(), QStringLiteral("共 3 个热词"));
    QVERIFY(!QApplication::activeModalWidget());
}

void HotwordEditorTest::reset_data()
{
    QTest::addColumn<QString>("choice");
    QTest::newRow("cancelled") << "取消";
    QTest::newRow("confirmed") << "恢复";
}

void HotwordEditorTest::reset()
{
    QFETCH(QString, choice);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString question;
    QString detail;
    whenModalAppears([&](QWidget* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            icon = box->icon();
            question = box->text();
            detail = box->informativeText();
        }
        QPushButton* button = buttonWithText(dialog, choice);
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        else
            dialog->close();
    });
    QTest::mouseClick(button("resetButton"), Qt::LeftButton);

    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(question, QStringLiteral("恢复默认热词列表？"));
    QCOMPARE(detail, QStringLiteral("这将清除所有自定义热词，恢复为内置的默认列表。"));
    if (choice == QStringLiteral("取消")) {
        QCOMPARE(shown(), kShown);
        QCOMPARE(storedHotwords(), kStored);
        QCOMPARE(countText(), QStringLiteral("共 4 个热词"));
        return;
    }
    QStringList defaults = TextPostProcessor::defaultHotwords();
    QCOMPARE(defaults.size(), 84);
    sortByUnicodeScalars(defaults);
    QCOMPARE(shown(), defaults);
    QCOMPARE(storedHotwords(), defaults);
    QCOMPARE(countText(), QStringLiteral("共 84 个热词"));
}

QTEST_MAIN(HotwordEditorTest)
#include "tst_hotword_editor.moc"
