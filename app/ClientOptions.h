#pragma once

#include <QString>
#include <QStringList>

namespace Qd::App {

// What the client was asked to do on its command line. Without a user it asks for a login;
// the screenshot options are for automation and support: they save a picture and quit.
struct ClientOptions {
    QString database;         // a database file, or "odbc:" and a connection string
    QString userCode;         // log in as this user without the dialog (with password)
    QString password;         // --password, else the environment's QD_PASSWORD
    QString storeCode;        // the store to log in to; empty: the first store
    QString module;           // a module to open after start, by registered name or title
    QString screenshot;       // PNG of the main window after start-up, then quit
    QString loginScreenshot;  // PNG of the login dialog, then quit
    QString bill;             // --bill: a bill of the module, by master id (with --dialog)
    QString dialog;           // --dialog: one of billDialogNames(), opened on that bill alone
    bool trace = false;       // the diagnostic trace echoed to stderr, with its detail

    bool autoLogin() const { return !userCode.isEmpty(); }
};

// The outcome of reading a command line: the options, or why they cannot be used, or a request
// for the help text (which is then filled in).
struct ParsedClientOptions {
    ClientOptions options;
    QString error;
    bool help = false;
    QString helpText;

    bool ok() const { return error.isEmpty() && !help; }
};

// The bill dialogs --dialog opens.
QStringList billDialogNames();

// Reads the client's command line (args[0] is the program). The database is --db, else the
// program home's config.ini ([database] connection=...), else "demo.db" in the program home.
ParsedClientOptions parseClientOptions(const QStringList& args);

// The database config.ini names: [database] connection=, the rest of its line as written (a
// connection string's ";" and "," are no comment or list there; surrounding double quotes are
// dropped); a relative file is under the program home. Empty when it names none.
QString configuredDatabase();
// The server's timeouts in seconds from the same section: logintimeout (default 10) and
// querytimeout (default 0, none); a value that is no whole number keeps the default.
struct ServerTimeouts {
    int login = 10;
    int query = 0;
};
ServerTimeouts configuredTimeouts();

}  // namespace Qd::App
