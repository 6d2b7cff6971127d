// Sequences of calls, object answers and failures against the replies the queue sends,
// in order. A call is named by its argument; "a=2" is the reply to call a carrying the
// object's second answer, "a!Failed" or "a!cancelled" an error, "ask" a request to the
// object, "none" an answer that found no call waiting.

#include <TuvoReplyQueue.h>

#include <QDBusError>
#include <QHash>
#include <QTest>

namespace {
const QString CancelledName = QStringLiteral("com.oxbel.tuvo.test.cancelled");
}

class tst_TuvoReplyQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sequences_data()
    {
        QTest::addColumn<int>("policy");
        // How the object meets each request, in turn ("later" once they run out): "later",
        // "refuse", "now" (answers inside), "now+refuse" (answers inside, then refuses),
        // "fail" (all waiting calls are failed inside the request).
        QTest::addColumn<QStringList>("asks");
        // A call name, "answer" or "fail"; "a>x": the reply to a leads to call x.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        const int all = TuvoReplyQueue::AnswerAll;
        const int oldest = TuvoReplyQueue::AnswerOldest;
        using L = QStringList;

        QTest::newRow("all: one answer serves every waiting call, in order")
            << all << L() << L{"a", "b", "c", "answer"} << L{"ask", "a=1", "b=1", "c=1"};
        QTest::newRow("all: a call after the answer asks again")
            << all << L() << L{"a", "answer", "b", "answer"} << L{"ask", "a=1", "ask", "b=2"};
        QTest::newRow("all: an answer with nothing waiting")
            << all << L() << L{"answer", "a", "answer", "answer"} << L{"none", "ask", "a=1", "none"};
        QTest::newRow("all: answered inside the request")
            << all << L{"now", "now"} << L{"a", "b"} << L{"ask", "a=1", "ask", "b=2"};
        QTest::newRow("all: a refusal fails the call at once, the next asks again")
            << all << L{"refuse"} << L{"a", "b", "answer"} << L{"ask", "a!Failed", "ask", "b=1"};
        QTest::newRow("all: answered, then refused: one reply")
            << all << L{"now+refuse"} << L{"a", "answer"} << L{"ask", "a=1", "none"};
        QTest::newRow("all: failed, and a late answer serves a newer call")
            << all << L() << L{"a", "b", "fail", "c", "answer", "answer"}
            << L{"ask", "a!cancelled", "b!cancelled", "ask", "c=1", "none"};
        QTest::newRow("all: failing nothing sends nothing") << all << L() << L{"fail"} << L();
        QTest::newRow("all: failed inside the request")
            << all << L{"fail"} << L{"a", "b"} << L{"ask", "a!cancelled", "ask"};
        QTest::newRow("all: a reply leads to a call that waits for a new answer")
            << all << L() << L{"a>x", "a", "answer", "answer"} << L{"ask", "a=1", "ask", "x=2"};
        QTest::newRow("all: a reply inside the request leads to a call")
            << all << L{"now"} << L{"a>x", "a", "answer"} << L{"ask", "a=1", "ask", "x=2"};

        QTest::newRow("oldest: one call per answer, asked one after the other")
            << oldest << L() << L{"a", "b", "c", "answer", "answer", "answer"}
            << L{"ask", "a=1", "ask", "b=2", "ask", "c=3"};
        QTest::newRow("oldest: a refusal in the middle, the next is asked at once")
            << oldest << L{"later", "refuse", "later"} << L{"a", "b", "c", "answer", "answer"}
            << L{"ask", "a=1", "ask", "b!Failed", "ask", "c=2"};
        QTest::newRow("oldest: drains when answered inside each request")
            << oldest << L{"later", "now", "now", "now"} << L{"a", "b", "c", "d", "answer"}
            << L{"ask", "a=1", "ask", "b=2", "ask", "c=3", "ask", "d=4"};
        QTest::newRow("oldest: answered, then refused: one reply")
            << oldest << L{"later", "now+refuse"} << L{"a", "b", "answer", "c"}
            << L{"ask", "a=1", "ask", "b=2", "ask"};
        QTest::newRow("oldest: failed, and a late answer serves a newer call")
            << oldest << L() << L{"a", "b", "fail", "c", "answer", "answer"}
            << L{"ask", "a!cancelled", "b!cancelled", "ask", "c=1", "none"};
        QTest::newRow("oldest: failed inside the request")
            << oldest << L{"fail"} << L{"a", "b"} << L{"ask", "a!cancelled", "ask"};
        QTest::newRow("oldest: a call from a reply waits behind the others")
            << oldest << L() << L{"a>x", "a", "b", "answer", "answer", "answer"}
            << L{"ask", "a=1", "ask", "b=2", "ask", "x=3"};
        QTest::newRow("oldest: a call from the last reply is asked for once")
            << oldest << L() << L{"a>x", "a", "answer", "answer"} << L{"ask", "a=1", "ask", "x=2"};
        QTest::newRow("oldest: when nothing waits, nothing is asked")
            << oldest << L() << L{"answer", "fail"} << L{"none"};
    }

    void sequences()
    {
        QFETCH(int, policy);
        QFETCH(QStringList, asks);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);

        QStringList events;
        QHash<QString, QString> follows;
        QList<QDBusMessage> calls;
        int answers = 0;
        TuvoReplyQueue *queue = nullptr;
        auto makeCall = [&](const QString &name) {
            QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("a.b"), QStringLiteral("/a"),
                                                               QStringLiteral("a.b"), QStringLiteral("get"));
            call << name;
            calls.append(call);
            queue->add(call);
        };
        auto answer = [&] {
            const int number = ++answers;
            const bool served = queue->answer(
                [number](const QDBusMessage &call) { return call.createReply(QVariantList{number}); });
            if (!served) {
                --answers;
                events.append(QStringLiteral("none"));
            }
        };
        auto fail = [&] { queue->failAll(CancelledName, QStringLiteral("Message cancelled.")); };
        auto ask = [&] {
            events.append(QStringLiteral("ask"));
            const QString mode = asks.isEmpty() ? QStringLiteral("later") : asks.takeFirst();
            if (mode.startsWith(QLatin1String("now")))
                answer();
            else if (mode == QLatin1String("fail"))
                fail();
            return mode != QLatin1String("refuse") && mode != QLatin1String("now+refuse");
        };
        TuvoReplyQueue q(TuvoReplyQueue::Policy(policy), ask, QStringLiteral("refused"));
        queue = &q;
        q.setSink([&](const QDBusMessage &call, const QDBusMessage &reply) {
            const QString name = call.arguments().value(0).toString();
            if (reply.type() == QDBusMessage::ErrorMessage) {
                const bool refused = reply.errorName() == QDBusError::errorString(QDBusError::Failed);
                QCOMPARE(reply.errorMessage(), refused ? QStringLiteral("refused") : QStringLiteral("Message cancelled."));
                events.append(name + QLatin1Char('!') + reply.errorName().section(QLatin1Char('.'), -1));
            } else {
                events.append(name + QLatin1Char('=') + reply.arguments().value(0).toString());
            }
            if (follows.contains(name))
                makeCall(follows.take(name));
        });

        for (const QString &step : steps) {
            if (step.contains(QLatin1Char('>')))
                follows.insert(step.section(QLatin1Char('>'), 0, 0), step.section(QLatin1Char('>'), 1));
            else if (step == QLatin1String("answer"))
                answer();
            else if (step == QLatin1String("fail"))
                fail();
            else
                makeCall(step);
        }
        QCOMPARE(events, expected);
        // Every call is marked, so the bus library sends no reply of its own.
        for (const QDBusMessage &call : calls)
            QVERIFY(call.isDelayedReply());
        int replies = 0;
        for (const QString &event : events)
            replies += event.contains(QLatin1Char('=')) || event.contains(QLatin1Char('!'));
        QCOMPARE(q.size(), calls.size() - replies);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoReplyQueue)
#include "tst_tuvoreplyqueue.moc"
