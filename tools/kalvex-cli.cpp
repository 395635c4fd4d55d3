// kalvex-cli: Kalvex's volume computations without a window.

#include "CliSupport.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

const char* kUsage =
    "Usage: kalvex-cli COMMAND [OPTIONS] [PICTURES]\n"
    "\n"
    "Commands:\n"
    "  hull         Build the shadow hull of three pictures and report it as JSON.\n"
    "  optimize     Deform contradicting pictures until they agree (the workflow's \"optimize\")\n"
    "               and report the missing and extra shadow pixels after each pass as JSON.\n"
    "  contour      Contour a volume (a scene file, or the hull of three pictures) into a mesh.\n"
    "  sculpt       From three pictures to a printable sculpture (STL, 3MF and scene files).\n"
    "  perspective  Build and optimise the volume for point lights (pictures with cameras, or\n"
    "               the built-in example) and report it as JSON.\n"
    "  fill         Fill the hull of three pictures with copies of the example models.\n"
    "\n"
    "Run 'kalvex-cli COMMAND --help' for the options of a command.\n";

// Debug lines of the volume code stay out of the tool's output; warnings and
// errors still reach stderr.
void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietDebug);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return cli::fail(QStringLiteral("a command is needed (try --help)"));
    const QString command = args.takeFirst();
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "hull")
        return runHull(args);
    if (command == "optimize")
        return runOptimize(args);
    if (command == "contour")
        return runContour(args);
    if (command == "sculpt")
        return runSculpt(args);
    if (command == "perspective")
        return runPerspective(args);
    if (command == "fill")
        return runFill(args);
    return cli::fail(QStringLiteral("unknown command '%1' (try --help)").arg(command));
}
