// varnel-cli: the command-line front end of Varnel (see varnel-cli --help).
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "cli/Commands.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnel-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int code = RunCli(arguments, out, err);
    out.flush();
    err.flush();
    return code;
}
