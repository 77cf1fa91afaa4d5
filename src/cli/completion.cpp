// The bash completion, written from the command table at build time.
#include <QStringList>
#include <map>
#include <set>

#include "cli/commands.h"

namespace cfg::cli {

namespace {

QString Words(const QStringList& words) {
    return words.join(u' ');
}

}  // namespace

QString BashCompletion() {
    QStringList valued, files, every{QStringLiteral("--help"), QStringLiteral("--version")};
    QStringList common;
    for (const Option& option : Options()) {
        const QString name = QStringLiteral("--") + QLatin1String(option.name);
        if (option.value) (QLatin1String(option.value) == u"FILE" ? files : valued).append(name);
        if (!option.everyCommand) continue;
        if (option.shortName) common.append(QStringLiteral("-%1").arg(option.shortName));
        common.append(name);
    }
    QStringList tops, cases;
    std::set<QString> groups;
    std::map<QString, QStringList> subs;
    for (const Command& command : Commands()) {
        const QStringList name = QString::fromLatin1(command.name).split(u' ');
        if (!tops.contains(name[0])) tops.append(name[0]);
        if (name.size() > 1) {
            groups.insert(name[0]);
            subs[name[0]].append(name[1]);
        }
        QStringList options;
        for (const char* option : command.options) options.append(QStringLiteral("--") + option);
        if (command.json) options.append(QStringLiteral("--json"));
        QStringList at;  // where a file goes, counted from the first argument
        for (int i = 0; i < static_cast<int>(command.args.size()); ++i)
            if (command.args[i].kind == ArgKind::FileToRead ||
                command.args[i].kind == ArgKind::FileToWrite)
                at.append(QStringLiteral("$args == %1").arg(i));
        QString line = QStringLiteral("    %1/%2) options+=\" %3\"")
                           .arg(name[0], name.value(1), Words(options));
        if (!at.isEmpty()) line += QStringLiteral(" && [[ %1 ]] && file=true").arg(at.join(" || "));
        cases.append(line + QStringLiteral(" ;;"));
    }
    for (const auto& [group, names] : subs)
        cases.append(QStringLiteral("    %1/) options+=\" %2\" ;;").arg(group, Words(names)));
    QStringList grouped;
    for (const QString& group : groups) grouped.append(QStringLiteral("$command == ") + group);
    const QString reply = QStringLiteral(
        "mapfile -t COMPREPLY < <(compgen -f -- \"$cur\") && compopt -o filenames "
        "2>/dev/null");

    QStringList script{
        QStringLiteral("# Bash completion for cfgtarascope-cli, written from its command table: "
                       "its commands and"),
        QStringLiteral("# subcommands, the options of each, and file names where a FILE goes."),
        QStringLiteral("_cfgtarascope_cli() {"),
        QStringLiteral("    local cur prev words cword"),
        QStringLiteral("    if declare -F _init_completion >/dev/null; then"),
        QStringLiteral("        _init_completion -n : || return"),
        QStringLiteral("    else"),
        QStringLiteral("        # Split on blanks only, so that HOST:PORT stays one word."),
        QStringLiteral("        local line=${COMP_LINE:0:COMP_POINT}"),
        QStringLiteral("        read -ra words <<<\"$line\""),
        QStringLiteral("        [[ -z $line || $line == *[[:space:]] ]] && words+=(\"\")"),
        QStringLiteral("        cword=$((${#words[@]} - 1)) cur=${words[cword]} "
                       "prev=${words[cword - 1]}"),
        QStringLiteral("    fi"),
        QStringLiteral("    case $prev in"),
        QStringLiteral("    %1) %2").arg(files.join(" | "), reply),
        QStringLiteral("        return ;;"),
        QStringLiteral("    %1) return ;;").arg(valued.join(" | ")),
        QStringLiteral("    esac"),
        QStringLiteral("    # The command, its subcommand and how many arguments follow them."),
        QStringLiteral("    local i command=\"\" sub=\"\" args=0"),
        QStringLiteral("    for ((i = 1; i < cword; i++)); do"),
        QStringLiteral("        case ${words[i]} in"),
        QStringLiteral("        %1) ((i++)) ;;").arg((files + valued).join(" | ")),
        QStringLiteral("        -*) ;;"),
        QStringLiteral("        *) if [[ -z $command ]]; then"),
        QStringLiteral("            command=${words[i]}"),
        QStringLiteral("        elif [[ (%1) && -z $sub ]]; then").arg(grouped.join(" || ")),
        QStringLiteral("            sub=${words[i]}"),
        QStringLiteral("        else"),
        QStringLiteral("            ((args++))"),
        QStringLiteral("        fi ;;"),
        QStringLiteral("        esac"),
        QStringLiteral("    done"),
        QStringLiteral("    local options=\"%1\" file=false").arg(Words(common)),
        QStringLiteral("    case $command/$sub in"),
        QStringLiteral("    /) options+=\" %1 %2\" ;;").arg(Words(every), Words(tops)),
    };
    script += cases;
    script += QStringList{
        QStringLiteral("    esac"),
        QStringLiteral("    if [[ $cur != -* && $file == true ]]; then"),
        QStringLiteral("        ") + reply,
        QStringLiteral("    elif [[ $cur == -* || -z $command || ((%1) && -z $sub) ]]; then")
            .arg(grouped.join(" || ")),
        QStringLiteral("        mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"$cur\")"),
        QStringLiteral("    fi"),
        QStringLiteral("}"),
        QStringLiteral("complete -F _cfgtarascope_cli cfgtarascope-cli"),
    };
    return script.join(u'\n') + u'\n';
}

}  // namespace cfg::cli
