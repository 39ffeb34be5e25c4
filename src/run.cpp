#include <cstring>

#include "converter.h"

int32_t EolType = 0;

const char* ArgumentAt(int position) {
    // Arguments arrive split already; an empty one takes no position, as an empty quoted
    // argument takes none on a command line that the program splits itself.
    int found = 0;
    for (int index = 1; index < RawArgumentCount(); ++index) {
        const char* argument = RawArgument(index);
        if (argument[0] != '\0' && ++found == position) return argument;
    }
    return "";
}

void SelectEolType(const char* keyword) {
    auto is = [keyword](const char* word) { return strcmp(keyword, word) == 0; };
    if (is("CR") || is("cr")) EolType = EolCr;
    else if (is("LF") || is("lf")) EolType = EolLf;
    else if (is("CRLF") || is("crlf")) EolType = EolCrLf;
    else {
        WriteMessageLine("invalid EOL type for output file");
        EndRun(ExitUsage);
    }
}

void EndOnIoError(const char* message) {
    if (TakeIoError() != 0) {
        WriteMessageLine(message);
        EndRun(ExitFileError);
    }
}

void RunConverter() {
    const char* keyword = ArgumentAt(3);
    if (keyword[0] == '\0') {
        WriteMessageLine("program to convert text files EOL, from any to CR, LF, or CRLF");
        WriteMessageLine("usage: mordrin <infile> <outfile> <cr|lf|crlf>");
        EndRun(ExitUsage);
    }
    // The keyword is settled before any file is opened, so a refused run touches nothing.
    SelectEolType(keyword);
    LoadInput(ArgumentAt(1));
    CreateOutput(ArgumentAt(2));
    ConvertImage();
    EndRun(ExitSuccess);
}
