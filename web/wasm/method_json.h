// The method descriptors as JSON for the page, which builds its method list and option
// fields from them instead of writing the options down a second time.
#ifndef QVX_WEB_METHOD_JSON_H
#define QVX_WEB_METHOD_JSON_H

#include <string>

// Returns {"params": [...], "methods": [...]}: each parameter's name, the command's
// option for it ("-t", "--radius"), type ("flag",
// "whole", "real"), min and max (null when unbounded), step, default, value name and help;
// each method's name, family, kind (its mode, or kFirstMethodKind + its method),
// description and the defaults of the parameters it takes, by name.
std::string method_descriptors_json();

#endif
