#ifndef TUVOCLIOUTPUT_H
#define TUVOCLIOUTPUT_H

#include <QFile>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QVariant>

/*!
 * Where tuvo-client writes: data to standard output (aligned rows, or one JSON
 * object per line), written out at once so that a pipe sees every line as it
 * happens; messages, and the progress of long operations when standard error is a
 * terminal, to standard error. A failed write to standard output (the reader went
 * away) is reported once with outputClosed(); messages are not written after it.
 */
class TuvoCliOutput : public QObject
{
    Q_OBJECT
public:
    explicit TuvoCliOutput(bool json, QObject *parent = nullptr);

    bool isJson() const { return m_json; }

    /*! Rows of cells, aligned in columns under \a header (printed when there are rows). */
    void table(const QStringList &header, const QList<QStringList> &rows);
    /*! One line as it is. */
    void line(const QString &text);
    void json(const QJsonObject &object);
    void jsonLines(const QList<QJsonObject> &objects);
    /*! Lines already made, \a data as it is (TuvoCliJsonWriter). */
    void bytes(const QByteArray &data) { write(data); }

    /*! "tuvo-client: " + \a text on standard error. */
    void message(const QString &text);
    /*! A progress line on standard error, overwritten by the next; nothing unless it is a terminal. */
    void progress(const QString &text);
    bool showsProgress() const { return m_errorIsTerminal; }
    void clearProgress();

    /*! A value as text: strings as they are, or quoted with \a quoteStrings. */
    static QString text(const QVariant &value, bool quoteStrings = false);
    /*! A value as JSON; 64-bit numbers beyond what JSON readers keep exactly, and
     *  non-finite doubles, become strings. */
    static QJsonValue jsonValue(const QVariant &value);
    /*! Empty cells of a table show as "-" so that columns stay countable. */
    static QString cell(const QString &text);

Q_SIGNALS:
    void outputClosed();

private:
    void write(const QByteArray &bytes);

    bool m_json;
    bool m_closed = false;
    bool m_progressShown = false;
    bool m_errorIsTerminal;
    QFile m_out;
    QFile m_err;
};

#endif
