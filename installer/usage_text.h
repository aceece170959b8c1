// Tarnwick's usage text, one entry a line, as "-?" shows it.  The text is
// fixed: where it and the parser differ, the parser holds (file names in
// "-in" are separated by ",", "-dll" needs the value 1).
#pragma once

#include <iterator>
#include <string_view>

namespace tarnwick {

inline constexpr std::u16string_view UsageLines[] = {
    /*  1 */ u"",
    /*  2 */ u"Tarnwick: helper for installer",
    /*  3 */ u"",
    /*  4 */ u"================================================================",
    /*  5 */ u" run dll:  Tarnwick -dll[=FunctionType(int)] -n=FileName -f=FunctionName ",
    /*  6 */ u"                  ",
    /*  7 */ u"  -dll[=...]      Perform dll \u0441all of given type",  // its "с" is Cyrillic (U+0441)
    /*  8 */ u"  FunctionType    Integer, representing type of function to call; ",
    /*  9 */ u"                   1: type = procedure; stdcall; ",
    /* 10 */ u"                   other: not supported",
    /* 11 */ u"  -n              File name of dll",
    /* 12 */ u"  -f              Function name",
    /* 13 */ u"",
    /* 14 */ u"================================================================",
    /* 15 */ u" check locks:  Tarnwick -chklock -in=(<file1;file2;...>|@<InFileName>) -out=OutFileName -extin -extout",
    /* 16 */ u"                  ",
    /* 17 */ u"  -chklock        Find for file(s) <file1>, <file2>... or list of files in file <InFileName> ",
    /* 18 */ u"                  the list of process that locks this file(files).",
    /* 19 */ u"                  Return: nolock/error/lock with <list> of process in file or console.",
    /* 20 */ u"  -in             List of files or after symbol \"@\" text file <InFileName> with list of files",
    /* 21 */ u"  -out            Output file name OutFileName, if empty then console",
    /* 22 */ u"  -extin          Option: extend in file names with local dir name",
    /* 23 */ u"  -extout         Option: extend out file names with local dir name",
    /* 24 */ u"",
    /* 25 */ u"================================================================",
    /* 26 */ u" try unlock and check locks:",
    /* 27 */ u"                Tarnwick -unlock -in=(<file1;file2;...>|@<InFileName>) -out=OutFileName ",
    /* 28 */ u"                  ",
    /* 29 */ u"  -unlock         Find for file(s) <file1>, <file2>... or list of files in file <InFileName> ",
    /* 30 */ u"                  the list of process that locks this file(files),",
    /* 31 */ u"                  try to kill the processes and then perform check again.",
    /* 32 */ u"                  Return: nolock/error/lock with <list> of process in file or console.",
    /* 33 */ u"  -in             List of files or after symbol \"@\" text file <InFileName> with list of files",
    /* 34 */ u"  -out            Output file name OutFileName, if empty then console",
    /* 35 */ u"  -extin          Option: extend in file names with local dir name",
    /* 36 */ u"  -extout         Option: extend out file names with local dir name",
    /* 37 */ u"",
    /* 38 */ u"================================================================",
    /* 39 */ u" check delete:  Tarnwick -chkdel -in=(<file1;file2;...>|@<InFileName>) -out=OutFileName ",
    /* 40 */ u"                  ",
    /* 41 */ u"  -chkdel         Try delete file(s) <file1>, <file2>... or list of files in file <InFileName>, ",
    /* 42 */ u"                  then restore from backup.",
    /* 43 */ u"                  Return: nolock/error/lock",
    /* 44 */ u"  -in             List of files or after symbol \"@\" text file <InFileName> with list of files",
    /* 45 */ u"  -out            Output file name OutFileName, if empty then console",
    /* 46 */ u"  -extin          Option: extend in file names with local dir name",
    /* 47 */ u"  -extout         Option: extend out file names with local dir name",
    /* 48 */ u"",
    /* 49 */ u"================================================================",
    /* 50 */ u" run exe:  Tarnwick -run -exe=<ExeFileName> -prm=<Params> -dir=<WorkDir> -wait -extexe",
    /* 51 */ u"                  ",
    /* 52 */ u"  -run            Run executable.",
    /* 53 */ u"                  Return: ok/error",
    /* 54 */ u"  -exe            Exe file name.",
    /* 55 */ u"  -prm            Parameters of command line.",
    /* 56 */ u"  -dir            Working dir. Special value 'current' = CurrentDir",
    /* 57 */ u"  -wait           Option: wait till end of programm (or don't wait, if not exists).",
    /* 58 */ u"  -extexe         Option: extend exe file name with currrent path.",
    /* 59 */ u"  -admin          Option: run with administrative privileges (elevation).",
    /* 60 */ u"  -checkexit      Option: return exit code in form: ExitCode=123.",
    /* 61 */ u"",
    /* 62 */ u"================================================================",
    /* 63 */ u" some tests:  Tarnwick -test=<Mode>",
    /* 64 */ u"                  ",
    /* 65 */ u"  -test=1         Run first of tests.",
    /* 66 */ u"",
    /* 67 */ u"================================================================",
    /* 68 */ u"",
};
static_assert(std::size(UsageLines) == 68);

}  // namespace tarnwick
