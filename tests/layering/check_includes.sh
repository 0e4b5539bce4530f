#!/usr/bin/env bash
# The include rules of the source tree, checked file by file:
#  - a folder includes project headers only from itself and the folders it builds on
#    (the dependencies point one way: app -> wizard -> protocols -> seriallink / updatefile ->
#    operator; the station (workers and record) beside the wizard, the command line and the
#    window (app, whose station/ folder is the bench's window) on the station, the simulated
#    unit beside the wizard);
#  - the engine folders (operator, seriallink, updatefile, protocols) and the station library
#    include no widget header;
#  - only platform files (<name>_posix.cpp, <name>_windows.cpp) include an operating system
#    header.
# Each fault is printed as "file:line: what is wrong"; the exit status is 1 when there is one.
#
# Usage: check_includes.sh SOURCE_DIR [WIDGET_HEADER_DIR...]
# A widget header directory (Qt's QtWidgets include folder) makes every header in it count as a
# widget header; without one a built-in list of the usual ones is used.

set -u

root=${1:?usage: check_includes.sh SOURCE_DIR [WIDGET_HEADER_DIR...]}
shift
widget_dirs=("$@")

# The folders each folder may include from, besides itself.
declare -A allowed=(
    [operator]=""
    [seriallink]="operator"
    [updatefile]="operator"
    [protocols]="operator seriallink updatefile"
    [unitsim]="operator seriallink updatefile protocols"
    [wizard]="operator seriallink updatefile protocols"
    [app]="operator seriallink updatefile protocols wizard unitsim station"
    [station]="operator seriallink updatefile protocols"
    [cli]="operator seriallink updatefile protocols station"
)
engine_folders="operator seriallink updatefile protocols"
# Folders without widgets: the engine, and the station library that its front ends share.
widgetless_folders="$engine_folders station"

# Folders of the tree whose headers count as project headers.
project_folders="operator seriallink updatefile protocols unitsim wizard app station cli tests bench samples assets help tools"

# Widget headers when no folder of them is given.
builtin_widgets="QWidget QApplication QMessageBox QDialog QMainWindow QLabel QPushButton QAbstractButton
QLineEdit QTextEdit QPlainTextEdit QProgressBar QStatusBar QFileDialog QRadioButton QButtonGroup
QGroupBox QFrame QLayout QBoxLayout QVBoxLayout QHBoxLayout QGridLayout QScrollArea QToolTip QMenu
QMenuBar QAction QComboBox QCheckBox QSpinBox QSlider QTabWidget QStackedWidget QSplitter QStyle
QToolButton QListWidget QTreeWidget QTableWidget QHeaderView QAbstractItemView QGraphicsView"

is_widget_header() {
    local header=$1 base=${1##*/} dir name
    case $header in
        QtWidgets | QtWidgets/*) return 0 ;;
    esac
    if ((${#widget_dirs[@]})); then
        for dir in "${widget_dirs[@]}"; do
            [[ -n $dir && -f $dir/$base && $base == Q* ]] && return 0
        done
        return 1
    fi
    for name in $builtin_widgets; do
        [[ $base == "$name" ]] && return 0
    done
    return 1
}

is_os_header() {
    case $1 in
        unistd.h | termios.h | fcntl.h | signal.h | pty.h | poll.h | dirent.h | pwd.h | grp.h | dlfcn.h | \
            pthread.h | util.h | libutil.h | windows.h | winbase.h | winioctl.h | winreg.h | winsock2.h | \
            ws2tcpip.h | shellapi.h | shlobj.h | setupapi.h | io.h | sys/* | linux/* | asm/*)
            return 0 ;;
    esac
    return 1
}

is_platform_file() {
    case $1 in
        *_posix.cpp | *_windows.cpp) return 0 ;;
    esac
    return 1
}

# An include line: "header" or <header>.
include_pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^">]+)[">]'

faults=0
fault() {
    echo "$1:$2: $3"
    faults=$((faults + 1))
}

check_file() {
    local file=$1 folder=$2 rel=${1#"$root"/}
    local line_no=0 line header target
    while IFS= read -r line || [[ -n $line ]]; do
        line_no=$((line_no + 1))
        [[ $line =~ $include_pattern ]] || continue
        header=${BASH_REMATCH[1]}

        # Operating system headers belong in the platform files.
        if is_os_header "$header" && ! is_platform_file "$file"; then
            fault "$rel" "$line_no" "operating system header <$header> outside a _posix.cpp or _windows.cpp file"
        fi

        # No widget header in the engine nor in the station library.
        if [[ -n $folder && " $widgetless_folders " == *" $folder "* ]] && is_widget_header "$header"; then
            fault "$rel" "$line_no" "widget header <$header> in the widget-free folder $folder/"
        fi

        # Project headers only from the folders this one builds on.
        [[ -n $folder && -n ${allowed[$folder]+set} ]] || continue
        [[ $header == */* ]] || continue
        target=${header%%/*}
        [[ " $project_folders " == *" $target "* ]] || continue
        [[ $target == "$folder" ]] && continue
        if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
            fault "$rel" "$line_no" "$folder/ may not include \"$header\" (it may include from: ${allowed[$folder]:-nothing but itself})"
        fi
    done <"$file"
}

checked=0
for folder in "${!allowed[@]}"; do
    [[ -d $root/$folder ]] || continue
    while IFS= read -r -d '' file; do
        check_file "$file" "$folder"
        checked=$((checked + 1))
    done < <(find "$root/$folder" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
done

if ((checked == 0)); then
    echo "no source files found under $root"
    exit 1
fi
if ((faults > 0)); then
    echo "$faults include fault(s) in $checked files"
    exit 1
fi
echo "$checked files follow the include rules"
exit 0
