#include <TuvoSource.h>
#include <TuvoSourceAdaptor.h>
#include <TuvoSourceAdaptorBrowseTransaction.h>
#include <TuvoSourceAdaptorQueryTransaction.h>

#include <QDBusMessage>
#include <QLoggingCategory>
#include <QPointer>
#include <QTest>

namespace {
QStringList s_debugLines;
void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    (type == QtDebugMsg ? s_debugLines : *new QStringList) << message;
}

// Accepts (or refuses) every operation with the id 5 (0).
class FakeSource : public TuvoSource
{
public:
    using TuvoSource::TuvoSource;
    uint id = 5;
    QPointer<QObject> receiver;
    uint browse(const QString &, const QString &, const QStringList &, uint, uint, QObject *r, const char *,
                const char *) override { return answer(r); }
    uint query(const QString &, QObject *r, const char *, const char *) override { return answer(r); }
    uint answer(QObject *r) { receiver = r; return id; }
};

// One result (row) with operation id \a id, as the source calls it.
void result(QObject *receiver, bool isBrowse, uint id, int remaining)
{
    if (isBrowse)
        qobject_cast<TuvoSourceAdaptorBrowseTransaction *>(receiver)->handleBrowseResult(id, {}, {}, 0, remaining);
    else
        qobject_cast<TuvoSourceAdaptorQueryTransaction *>(receiver)->handleQueryResult(id, {}, 0, remaining);
}
} // namespace

// The adaptor with no bus: what it logs, and that each operation's transaction lives
// exactly as long as the operation. Sends fail here, and say so.
class tst_TuvoSourceAdaptor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void operations_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::addColumn<uint>("id");
        QTest::addColumn<QString>("line");
        const QString browse = QStringLiteral("uint TuvoSourceAdaptor::browse(const QString&, const QString&, "
                                              "const QStringList&, uint, uint, const QDBusMessage&) \"obj\" \"pred\" (\"a\", \"b c\") 3 7");
        const QString query = QStringLiteral("TuvoSourceAdaptor::query \"artist = \\\"x\\\"\"");
        QTest::newRow("browse") << true << 5u << browse;
        QTest::newRow("browse refused") << true << 0u << browse;
        QTest::newRow("query") << false << 5u << query;
        QTest::newRow("query refused") << false << 0u << query;
    }

    void operations()
    {
        QFETCH(bool, isBrowse);
        QFETCH(uint, id);
        QFETCH(QString, line);
        auto *source = new FakeSource(QStringLiteral("src"), QStringLiteral("P"), QStringLiteral("S"));
        auto *adaptor = new TuvoSourceAdaptor(source);
        source->id = id;
        const QDBusMessage caller = QDBusMessage::createMethodCall(QStringLiteral(":1.7"), {}, {}, {});
        const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
        QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, true);
        const uint answer = isBrowse ? adaptor->browse(QStringLiteral("obj"), QStringLiteral("pred"),
                                                       {QStringLiteral("a"), QStringLiteral("b c")}, 3, 7, caller)
                                     : adaptor->query(QStringLiteral("artist = \"x\""), caller);
        qInstallMessageHandler(previous);
        QCOMPARE(answer, id);
        QVERIFY2(s_debugLines.contains(line), qPrintable(s_debugLines.join(u'\n')));
        s_debugLines.clear();
        QCOMPARE(source->receiver.isNull(), id == 0);
        if (id) {
            QTest::ignoreMessage(QtWarningMsg, isBrowse ? "Source signals with bad browseId: return"
                                                        : "Source signals with bad queryId: return");
            result(source->receiver, isBrowse, 6, 1); // cannot capture the operation
            QCOMPARE(adaptor->findChildren<QObject *>(Qt::FindDirectChildrenOnly).size(), 1);
            if (isBrowse)
                QTest::ignoreMessage(QtWarningMsg, "TuvoSourceAdaptorBrowseTransaction::flushResults: Failed to send result message");
            else
                QTest::ignoreMessage(QtCriticalMsg, "Query result not sent, query id:  5");
            result(source->receiver, isBrowse, 5, 0);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QVERIFY(source->receiver.isNull());
        QVERIFY(adaptor->findChildren<QObject *>(Qt::FindDirectChildrenOnly).isEmpty());
        delete source;
    }

    // An operation that never ends lives until its source is gone, and ends silently.
    void endsWithTheSource()
    {
        auto *source = new FakeSource(QStringLiteral("src"), QStringLiteral("P"), QStringLiteral("S"));
        auto *adaptor = new TuvoSourceAdaptor(source);
        QCOMPARE(adaptor->browse({}, {}, {}, 0, 0, QDBusMessage()), 5u);
        const QPointer<QObject> transaction = source->receiver;
        result(transaction, true, 5, 1);
        delete source;
        QVERIFY(transaction.isNull());
    }
};

QTEST_GUILESS_MAIN(tst_TuvoSourceAdaptor)
#include "tst_tuvosourceadaptor.moc"
