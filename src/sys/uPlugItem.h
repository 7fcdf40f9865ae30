#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace Qd::Core::Sys {

class TPlugItem;

// How a module's window is opened, and how it is shown as a picker. Registered by name (the
// window class a module names) by whoever provides that window: the framework's generic
// windows and the plug-in libraries.
//   open:   owner, item, title, parameters text, result text (out), mode (-1)
//   select: owner, item, a text, an option text -> the chosen rows as a JSON array text, or
//           empty when none was chosen
using OpenEntry = std::function<void(QWidget* owner, TPlugItem& item, const QString& title,
                                     const QString& params, QString& result, int mode)>;
using SelectEntry = std::function<QString(QWidget* owner, TPlugItem& item, const QString& text,
                                          const QString& options)>;

// A module's registration: the row of the plug-in registry (qd_sys_plugins).
class TPlugItem {
public:
    virtual ~TPlugItem() = default;

    QString code;       // module code: prefix of its right codes, key of its layouts
    QString name;       // the name it is registered under (plugbyName)
    QString title;      // caption of its window
    QString group;      // navigator group
    QString formClass;  // the window class that opens it
    int sort = 0;

    // Opens the module's window through the entry registered for its window class. Throws
    // DbError naming the module when no entry is registered.
    void open(QWidget* owner, const QString& params, QString& result, int mode = -1);
    // The same under another window title (a generic report window opened for one report).
    void open(QWidget* owner, const QString& title, const QString& params, QString& result,
              int mode);
    // Shows the module as a picker; the chosen rows as a JSON array text, empty when none.
    QString select(QWidget* owner, const QString& text, const QString& options);
};

// A module built from its descriptor: the descriptor, the column array and the expand object
// as JSON texts, possibly empty.
class TPlugItemSingleBasic : public TPlugItem {
public:
    QString getplugInfo() const { return m_plugInfo; }
    QString GetColumnsJson() const { return m_columns; }
    QString Getexpandinfo() const { return m_expand; }

    void setTexts(const QString& plugInfo, const QString& columns, const QString& expand) {
        m_plugInfo = plugInfo;
        m_columns = columns;
        m_expand = expand;
    }

private:
    QString m_plugInfo;
    QString m_columns;
    QString m_expand;
};

// The registered modules, read from the plug-in registry. An item is never freed while the
// pool lives: open windows keep a pointer to the item they were opened for.
class TPlugsPool {
public:
    // The module registered under `name`; with `byTitle` also one whose title is `name`.
    // Null when there is none.
    TPlugItem* plugbyName(const QString& name, bool byTitle);
    // The registered modules, in registry order.
    const std::vector<std::unique_ptr<TPlugItemSingleBasic>>& items() const { return m_items; }

    // Reads the registry anew (on login, and on 刷新模块), in place: a module still registered
    // under its name keeps its item, with the fields read anew; a new one gets a new item; the
    // item of a module no longer registered is retired (kept alive, found no more) and comes
    // back should its name be registered again. A registry that cannot be read changes nothing.
    void load();

    static void registerOpenEntry(const QString& formClass, OpenEntry entry);
    static void registerSelectEntry(const QString& formClass, SelectEntry entry);
    static const OpenEntry* openEntry(const QString& formClass);
    static const SelectEntry* selectEntry(const QString& formClass);

private:
    std::vector<std::unique_ptr<TPlugItemSingleBasic>> m_items;
    std::vector<std::unique_ptr<TPlugItemSingleBasic>> m_retired;  // no longer registered
};

}  // namespace Qd::Core::Sys
