#include <TuvoResultBatch.h>

#include <QTest>
#include <QTimer>

#include <memory>

// Callback sequences against what the batch sends, with no bus. A script is read token
// by token: "5" is a record of operation 7 with remaining count 5, "x5" one of
// operation 99; "3*5" three records with remaining counts 5, 4, 3; "e" and "xe" an
// error; "expect" the id 7 returned by the source; "t" the deadline passing; "@tok"
// runs tok inside the next send. Records carry their number in order of arrival.
// A send reads "id:records/remaining" or "id:E<code>"; "end" is finished().
class tst_TuvoResultBatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<TuvoResultBatch> batch;
    QStringList sends;
    QStringList inSend;
    int counter = 0;

    static QString describe(const TuvoResultBatch::Batch &b)
    {
        if (!b.error.isEmpty())
            return QStringLiteral("%1:E%2").arg(b.id).arg(b.error.value(0).toInt());
        const auto values = b.records.value<QList<int>>();
        QStringList numbers;
        for (int v : values)
            numbers.append(QString::number(v));
        const bool range = values.size() > 1 && values.last() - values.first() == values.size() - 1;
        return QStringLiteral("%1:%2/%3").arg(b.id)
            .arg(range ? QStringLiteral("%1-%2").arg(values.first()).arg(values.last()) : numbers.join(u','))
            .arg(b.remainingCount);
    }

    void run(const QString &token)
    {
        const bool stray = token.startsWith(u'x');
        const uint id = stray ? 99 : 7;
        const QString rest = stray ? token.mid(1) : token;
        if (token.startsWith(u'@')) {
            inSend.append(token.mid(1));
        } else if (token == QLatin1String("expect")) {
            batch->expectId(7);
        } else if (token == QLatin1String("t")) {
            auto *deadline = batch->findChild<QTimer *>();
            QVERIFY(deadline);
            if (deadline->isActive()) {
                QCOMPARE(deadline->interval(), 200);
                batch->flush(); // what its timeout does
            }
        } else if (rest == QLatin1String("e")) {
            batch->fail(id, QVariant::fromValue(QList<int>()), {3});
        } else {
            const QStringList parts = rest.split(u'*');
            const int count = parts.size() == 2 ? parts.first().toInt() : 1;
            const int first = parts.last().toInt();
            for (int i = 0; i < count; ++i)
                batch->add<int>(id, first - i, [this](int &record) { record = counter++; });
        }
    }

private Q_SLOTS:
    void sequences_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("warnings");
        const QString bad = QStringLiteral("Source signals with bad browseId: return");
        const QString late = QStringLiteral("source signals after the end of browse 7");
        const auto row = [](const char *name, const char *script, const QStringList &expected,
                            const QStringList &warnings) {
            QTest::newRow(name) << QString::fromLatin1(script) << expected << warnings;
        };
        row("the last record goes out at once", "0", {"7:0/0", "end"}, {});
        row("25 in a burst: 10, 10, 5", "25*24", {"7:0-9/15", "7:10-19/5", "7:20-24/0", "end"}, {});
        row("10, the last filling the batch", "10*9", {"7:0-9/0", "end"}, {});
        row("11", "11*10", {"7:0-9/1", "7:10/0", "end"}, {});
        row("a partial batch waits for the deadline", "3*5", {}, {});
        row("the deadline sends it", "3*5 t", {"7:0-2/3"}, {});
        row("no deadline after a full batch", "10*20 t", {"7:0-9/11"}, {});
        row("deadline, more, deadline, last", "3*5 t 2*2 t 0",
            {"7:0-2/3", "7:3-4/1", "7:5/0", "end"}, {});
        row("negative counts are not the end", "3*-1 t", {"7:0-2/-3"}, {});
        row("an error after the pending records, which go out as the last", "4*5 e",
            {"7:0-3/0", "7:E3", "end"}, {});
        row("an error before any record", "e", {"7:E3", "end"}, {});
        row("the first callback's id is taken", "x5 4 x0", {"99:0-1/0", "end"}, {bad});
        row("callbacks with another id are dropped", "5 x4 xe 3 0", {"7:0-2/0", "end"}, {bad, bad});
        row("the returned id beats a stray first callback", "expect x1 0", {"7:0/0", "end"}, {bad});
        row("the returned id after a first callback changes nothing", "x1 expect x0",
            {"99:0-1/0", "end"}, {});
        row("nothing after the last record", "0 e 0 t", {"7:0/0", "end"}, {late, late});
        row("nothing after the error", "e 0 e", {"7:E3", "end"}, {late, late});
        row("re-entrant: a full batch's send sets off the last record", "@0 10*20",
            {"7:0-9/11", "7:10/0", "end"}, {});
        row("re-entrant: the last record's send sets off another", "@5 0",
            {"7:0/0", "end"}, {late});
        row("re-entrant: the error's first send sets off another error", "@e 2*5 e",
            {"7:0-1/0", "7:E3", "end"}, {late});
        row("re-entrant: a deadline's send sets off a record for the next one", "1 @1 t t",
            {"7:0/1", "7:1/1"}, {});
    }

    void sequences()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, warnings);
        for (const QString &warning : warnings)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        sends.clear();
        inSend.clear();
        counter = 0;
        batch = std::make_unique<TuvoResultBatch>("browse", [this](const TuvoResultBatch::Batch &b) {
            sends.append(describe(b));
            for (const QString &token : std::exchange(inSend, {}))
                run(token);
        });
        connect(batch.get(), &TuvoResultBatch::finished, this, [this] { sends.append(QStringLiteral("end")); });
        for (const QString &token : script.split(u' '))
            run(token);
        QCOMPARE(sends, expected);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoResultBatch)
#include "tst_tuvoresultbatch.moc"
