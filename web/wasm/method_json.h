// The method descriptors as JSON for the page, which builds its method list and option
// fields from them instead of writing the options down a second time.
#ifndef QVX_WEB_METHOD_JSON_H
#define QVX_WEB_METHOD_JSON_H

#include <string>

// Returns {"params": [...], "methods": [...], "palettes": [...]}: each parameter's name,
// the command's option for it ("-t", "--radius"), type ("flag", "whole", "real", "text"),
// min and max (null when unbounded), step, default (a text's is ""), value name and help;
// each method's name, family, kind (its mode, or kFirstMethodKind + its method),
// description and the defaults of the parameters it takes, by name; each built-in
// palette's name and colours ("#rrggbb,...").
std::string method_descriptors_json();

#endif
