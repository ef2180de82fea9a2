#include "app/CommandLine.h"

#include "platform/NativePath.h"

namespace sq::app {

namespace {

// QGuiApplication's and QApplication's documented options; Qt takes "--x"
// for "-x" too.
struct QtOption
{
    const char* name;
    bool takesValue;
};
const QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"session", true},
    {"display", true},         {"geometry", true},
    {"style", true},           {"stylesheet", true},
    {"qmljsdebugger", true},   {"reverse", false},
    {"widgetcount", false},    {"nograb", false},
    {"dograb", false},
};

const QtOption* findQtOption(const QByteArray& arg, bool& inlineValue)
{
    QByteArray name = arg.mid(arg.startsWith("--") ? 2 : 1);
    inlineValue = false;
    if (const qsizetype eq = name.indexOf('='); eq >= 0) {
        name.truncate(eq);
        inlineValue = true;
    }
    for (const QtOption& option : kQtOptions)
        if (name == option.name) return &option;
    return nullptr;
}

} // namespace

CommandLine parseCommandLine(const std::vector<QByteArray>& args)
{
    CommandLine out;
    bool optionsEnded = false;
    bool havePath = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const QByteArray& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg.startsWith('-');
        if (!isOption) {
            if (!optionsEnded && arg == "--") continue;
            if (!havePath) {
                out.path = sq::platform::pathFromNative(arg);
                havePath = true;
            }
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            out.action = CommandLine::Help;
            return out;
        }
        if (arg == "--version") {
            out.action = CommandLine::Version;
            return out;
        }
        bool inlineValue = false;
        const QtOption* qt = findQtOption(arg, inlineValue);
        if (!qt || (inlineValue && !qt->takesValue)) {
            out.action = CommandLine::Error;
            out.error = QStringLiteral("unknown option '%1'").arg(QString::fromLocal8Bit(arg));
            return out;
        }
        out.qtArguments.push_back(arg);
        if (qt->takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                out.action = CommandLine::Error;
                out.error =
                    QStringLiteral("option '%1' needs a value").arg(QString::fromLocal8Bit(arg));
                return out;
            }
            out.qtArguments.push_back(args[++i]);
        }
    }
    return out;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: sorrelquint [OPTION]... [FOLDER | FILE]\n"
        "Browse the pictures of FOLDER as thumbnails; with FILE, open its folder\n"
        "with FILE selected and shown in the preview.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the version and exit\n"
        "  --             end of options: what follows is a path\n"
        "\n"
        "Qt's standard options (-platform, -style, -display, ...) are accepted.\n"
        "Settings, favourites and the thumbnail cache live in\n"
        "$XDG_CONFIG_HOME/sorrelquint/ (default ~/.config/sorrelquint/); a portable\n"
        "copy outside a bin folder keeps them in its own folder when it may write\n"
        "there, and $SORRELQUINT_DATA_DIR names another folder.\n");
}

} // namespace sq::app
