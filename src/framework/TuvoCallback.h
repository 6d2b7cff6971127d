#ifndef TUVOCALLBACK_H
#define TUVOCALLBACK_H

#include "TuvoFrameworkGlobal.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>

/*!
 * One asynchronous answer channel of the framework: a receiver object and the slot
 * that receives the answer.
 *
 * Asynchronous operations take a receiver and a member text, the slot's signature
 * behind Qt's slot marker "1" as SLOT() produces it ("1getPositionCallback(uint)").
 * resolve() checks that the receiver really has that slot and that its parameters are
 * exactly the types the operation will pass; an operation must refuse (return false
 * or 0) when the callback it was given is not valid, instead of failing silently
 * later.
 *
 * The receiver is tracked: invoking a callback whose receiver has been destroyed does
 * nothing and returns false, so a plugin may answer late without checking.
 * Callbacks are invoked directly, on the calling thread; plugins answer on the main
 * thread.
 */
class TUVO_FRAMEWORK_EXPORT TuvoCallback
{
public:
    TuvoCallback() = default;

    /*! Resolves \a member on \a receiver, expecting a slot with parameters Args. */
    template <typename... Args>
    static TuvoCallback resolve(QObject *receiver, const char *member)
    {
        return TuvoCallback(receiver, member, QList<QMetaType>{QMetaType::fromType<Args>()...});
    }

    /*! True when the slot was found with the expected parameter types. */
    bool isValid() const { return m_methodIndex >= 0; }
    /*! True when valid and the receiver still exists. */
    bool isAlive() const { return isValid() && !m_receiver.isNull(); }
    QObject *receiver() const { return m_receiver.data(); }
    /*! The normalised slot signature, without the marker ("getPositionCallback(uint)"). */
    QByteArray signature() const { return m_signature; }

    /*!
     * Calls the slot with \a args. Returns false (and calls nothing) when the receiver
     * is gone, the callback is invalid, or Args differ from the resolved types.
     */
    template <typename... Args>
    bool invoke(const Args &...args) const
    {
        if (!typesMatch(QList<QMetaType>{QMetaType::fromType<Args>()...}))
            return false;
        void *argv[] = {nullptr, const_cast<void *>(static_cast<const void *>(&args))...};
        return call(argv);
    }

    /*! Strips the slot or signal marker and normalises a member text. */
    static QByteArray normalizedMember(const char *member);

private:
    TuvoCallback(QObject *receiver, const char *member, const QList<QMetaType> &types);
    bool typesMatch(const QList<QMetaType> &types) const;
    bool call(void **argv) const;

    QPointer<QObject> m_receiver;
    QByteArray m_signature;
    QList<QMetaType> m_types;
    int m_methodIndex = -1;
};

#endif
