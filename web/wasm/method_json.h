// The method descriptors as JSON for the page, which builds its method list and option
// fields from them instead of writing the options down a second time.
#ifndef QVX_WEB_METHOD_JSON_H
#define QVX_WEB_METHOD_JSON_H

#include <string>

// Returns {"params": [...], "methods": [...], "palettes": [...], "presets": [...]}: each parameter's name,
// the command's option for it ("-t", "--radius"), type ("flag", "whole", "real", "text"),
// min and max (null when unbounded), step, default (a text's is ""), value name and help;
// each method's name, family, kind (its mode, or kFirstMethodKind + its method),
// description and the defaults of the parameters it takes, by name; each built-in
// palette's name and colours ("#rrggbb,..."); each device preset's name, help, what it
// sets in words, format, layout (null for a format without layouts), polarity, count of
// levels or colours, palette (null: grey levels), code map (null: the indexes) and size
// (0: not fixed).
std::string method_descriptors_json();

#endif
