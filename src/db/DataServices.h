#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

#include "base/Prompter.h"
#include "db/RecordSet.h"

namespace Qd::Core::Db {

class ChunkedLoad;

// A named parameter of a statement, referred to in the text as :name. Values: QString,
// int / qlonglong, double, bool, QDateTime / QDate, QByteArray (blob), or a null QVariant.
struct Param {
    QString name;
    QVariant value;
};
using Params = std::vector<Param>;

// A data packet: the rows of a query, loaded into a record set with RecordSet::setData.
// A failed query gives an inactive packet (the error has been shown and traced).
using DataPacket = RecordSet;

// The data services every window reaches the database through. Statements are the system's SQL
// text; on failure the service shows the error itself (MessageMyDlg) and writes it to the trace,
// and the caller sees false or an inactive packet.
class IDataServices {
public:
    virtual ~IDataServices() = default;

    virtual DataPacket openData(const QString& sql, const Params& params = {}) = 0;
    // Opens `rs` on the result; false (and `rs` unchanged) on failure.
    virtual bool openDataToCDS(RecordSet& rs, const QString& sql, const Params& params = {}) = 0;
    // Opens `rs` on the first rows of the result (ChunkedLoad::kFirstRows) and reads the rest
    // from the event loop while the returned load lives (see ChunkedLoad.h); null (and `rs`
    // unchanged) on failure. A batch that is more than one plain query, and a backend that
    // cannot keep a query open between events, load every row before returning.
    virtual std::unique_ptr<ChunkedLoad> openDataInChunks(RecordSet& rs, const QString& sql,
                                                          const Params& params = {});
    virtual DataPacket queryData(const QString& sql) = 0;
    // Runs a statement or a batch; true when it ran.
    virtual bool execSQL(const QString& sql, const Params& params = {}) = 0;
    // True when the stored `version` of row `id` of `table` equals `version`.
    virtual bool checkBillVersion(const QString& table, qint64 id, int version) = 0;
    // The parameters `sql` refers to (:name), lower case and without the colon; empty, and
    // nothing shown, for a statement that does not translate (running it says why).
    virtual QStringList parameterNames(const QString& sql) = 0;

    // The file store: a stored name and its content.
    virtual bool putFile(const QString& name, QIODevice& stream) = 0;
    // Writes a local copy of a stored file and returns its path; empty when there is none.
    virtual QString downloadFile(const QString& name) = 0;
    virtual bool delAttachFile(const QString& name) = 0;
};

// The data services in force (installed by the client or a test), and their installation.
IDataServices& dataServices();
void setDataServices(IDataServices* services);  // not owned

// The parameters of `all` that `sql` refers to (names compared case-insensitively), in their
// order; the ones left out are named in one trace line. A caller that holds more values than a
// statement takes (a report passes every row of its parameter panel) binds these, since a
// parameter the statement does not use is refused.
Params boundParams(const QString& sql, const Params& all);

// Turns the change log of `delta` into one statement per changed row appended to `out`:
// update by key of only the changed columns, insert of the non-NULL columns, delete by key.
// Columns named in `ignoredFields` (case-insensitive; empty entries allowed) are left out; the
// key is never written. A row changed only in such columns still gets its statement, one that
// writes nothing ("update t set c=c where key=..."), so that callers may read an empty list as
// "nothing changed" and run their after-save steps whenever it is not. A row edited back to
// its stored values in every column gets none.
// An update that changes a column named `version` (and not ignored) is guarded: it writes only
// where the version is still the original one ("where id=1 and version=5"), and the next line
// raises "当前数据状态已改变，请刷新数据后请重试." when no row was written, so a batch holding it
// fails whole when another client saved the row since it was read.
void GetUpDataSQLList(const QString& table, const QString& keyField,
                      const QStringList& ignoredFields, const RecordSet& delta, QStringList& out,
                      int reserved = 0);

// A value as a literal of the system's SQL: N'text' with quotes doubled, numbers, 1/0,
// 'yyyy-MM-dd HH:mm:ss.zzz', 0x... for blobs, NULL.
QString sqlLiteral(const QVariant& value);
// Single quotes doubled, for values pasted between quotes in statement text.
QString quoteSql(const QString& text);
// The text between single quotes, its quotes doubled: 'O''Brien'.
QString quotedSql(const QString& text);

class TJsonDB {
public:
    // The rows as a JSON array of objects keyed by field name in field order; with
    // currentRowOnly only the current row (an empty array when there is none).
    static QString ClientDataSetToJSON(const RecordSet& rs, bool currentRowOnly);
};

// A modal message box through the installed prompter; kind 1 error, 2 information,
// 3 confirmation. Returns the button (OK = 1, Cancel = 2, Yes = 6, No = 7).
int MessageMyDlg(const QString& text, const QString& title, int kind, Ui::MsgButtons buttons,
                 bool modal = true);

// MD5 of a local file (the raw digest; empty when unreadable) and its hexadecimal text.
QByteArray MD5File(const QString& path);
QString MD5Print(const QByteArray& digest);

}  // namespace Qd::Core::Db
