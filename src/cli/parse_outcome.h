// What a parse of the command line asks for: a conversion, or one of the answers
// that end the parse (help, version, the methods' list), or a usage error.
#ifndef QVX_CLI_PARSE_OUTCOME_H
#define QVX_CLI_PARSE_OUTCOME_H

enum class ParseOutcome { kRun, kHelp, kVersion, kListMethods, kListPalettes, kListPresets, kUsage };

#endif
