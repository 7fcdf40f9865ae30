#pragma once

#include <QString>
#include <QStringList>

namespace Qd::Core::Sys {

// How several right codes combine in a check; the framework always passes one code and the
// first value.
enum class TrelationType { rtAnd, rtOr };

// The session of the logged-in user: organisation, store and user. Windows read it through
// sysAuth() at each use and never keep a copy, so a change made by the host is seen at once.
class TAuth {
public:
    QString orgId;
    qint32 storeId = 0;
    QString storeName;
    QString storeCode;
    QString userCode;
    qint32 userId = 0;
    qint32 dataScope = 0;  // 0 own records, 1 own store, 2 or more all stores
    bool isAdmin = false;
    QString userName;
    QString defaultPath;   // the store's default file folder
    qint32 m_loginId = 0;  // the login account (qd_sys_users.id) behind the session

    // True when the user holds the rights: all of them (rtAnd) or one (rtOr). Rights are read
    // from the database at each call, so a change of rights applies to the next action, and a
    // login deleted meanwhile holds none.
    bool check(const QStringList& codes, TrelationType relation = TrelationType::rtAnd) const;
};

}  // namespace Qd::Core::Sys
