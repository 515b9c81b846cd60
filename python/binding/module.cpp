// The Python module quillvex._quillvex: the command's option rules, readers,
// conversion and writers over numpy arrays, files and bytes. The GIL is released
// while a picture is read, converted or written, so threads convert in parallel.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "array_picture.h"
#include "indexed_picture.h"
#include "cli/batch_plan.h"
#include "cli/option_table.h"
#include "cli/options.h"
#include "halftone/colour_palette.h"
#include "pipeline/result_output.h"
#include "halftone/halftone.h"
#include "halftone/method_descriptors.h"
#include "image/simd_level.h"
#include "picture_file.h"
#include "result_file.h"

namespace py = pybind11;

namespace {

// An unreadable picture (quillvex.ReadError, an OSError) and a file that can't be written (OSError).
struct ReadFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct WriteFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void raise_outcome(const FileOutcome& outcome) {
  if (outcome.failure == FileFailure::kRead) throw ReadFailure(outcome.message);
  if (outcome.failure == FileFailure::kWrite) throw WriteFailure(outcome.message);
}

// Parses the command's own words for the options: the command's rules and messages.
CliOptions parse_options(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  if (parse_cli_options(args, options, error) != ParseOutcome::kRun) {
    throw py::value_error(error.empty() ? "the options are not the command's" : error);
  }
  if (options.format != kFormatUnset && !can_write_format(options.format)) {
    throw py::value_error("this build can't write " + format_extension(options.format).substr(1) + " files");
  }
  return options;
}

// A picture's size within what the core takes and the limit allows.
void check_size(py::ssize_t height, py::ssize_t width, const CliOptions& options) {
  if (height <= 0 || width <= 0) throw py::value_error("the picture has no pixels");
  constexpr py::ssize_t most = std::numeric_limits<int32_t>::max();
  const uint64_t pixels = static_cast<uint64_t>(height) * static_cast<uint64_t>(width);
  if (height > most || width > most || pixels > options.max_pixels) {
    throw py::value_error("File is too large: " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels; --max-pixels allows " + std::to_string(options.max_pixels) + ".");
  }
}

bool is_byte_format(const std::string& format) {
  return format == "B" || format == "=B" || format == "<B" || format == ">B" || format == "|B";
}

// The picture an array holds: (H, W) grey, or (H, W, C) with C of 1 to 4, unsigned bytes.
ArrayPicture array_picture(const py::buffer_info& info, const CliOptions& options) {
  if (!is_byte_format(info.format) || info.itemsize != 1) {
    throw py::value_error("a picture array holds unsigned bytes (uint8), not '" + info.format + "'");
  }
  if (info.ndim != 2 && info.ndim != 3) {
    throw py::value_error("a picture array has the shape (H, W), (H, W, 3) or (H, W, 4), not " +
                          std::to_string(info.ndim) + " dimensions");
  }
  const py::ssize_t bands = info.ndim == 3 ? info.shape[2] : 1;
  if (bands < 1 || bands > 4) {
    throw py::value_error("a picture array has 1 to 4 samples a pixel (grey, grey and alpha, RGB, RGBA), not " +
                          std::to_string(bands));
  }
  check_size(info.shape[0], info.shape[1], options);
  ArrayPicture p;
  p.data = static_cast<const uint8_t*>(info.ptr);
  p.height = static_cast<int32_t>(info.shape[0]);
  p.width = static_cast<int32_t>(info.shape[1]);
  p.bands = static_cast<int>(bands);
  p.row_step = info.strides[0];
  p.pixel_step = info.strides[1];
  p.band_step = info.ndim == 3 ? info.strides[2] : 1;
  return p;
}

ResultPicture result_picture(const py::buffer_info& info, const CliOptions& options, int32_t x_res, int32_t y_res) {
  const bool bytes = is_byte_format(info.format) || info.format == "?";
  if (!bytes || info.itemsize != 1 || info.ndim != 2) {
    throw py::value_error("a converted picture is an (H, W) array of uint8 (0 black, 1 white)");
  }
  check_size(info.shape[0], info.shape[1], options);
  ResultPicture p;
  p.data = static_cast<const uint8_t*>(info.ptr);
  p.height = static_cast<int32_t>(info.shape[0]);
  p.width = static_cast<int32_t>(info.shape[1]);
  p.row_step = info.strides[0];
  p.pixel_step = info.strides[1];
  p.x_resolution = x_res;
  p.y_resolution = y_res;
  return p;
}

// A new (H, W) array of bytes that convert(picture, out) fills with the GIL released;
// ValueError with the text convert returns when that is not empty.
template <typename Convert>
py::array_t<uint8_t> converted_array(const py::buffer& image, const CliOptions& options, Convert&& convert) {
  const py::buffer_info info = image.request();
  const ArrayPicture picture = array_picture(info, options);
  py::array_t<uint8_t> result({static_cast<py::ssize_t>(picture.height), static_cast<py::ssize_t>(picture.width)});
  uint8_t* out = result.mutable_data();
  std::string error;
  {
    py::gil_scoped_release released;
    error = convert(picture, out);
  }
  if (!error.empty()) throw py::value_error(error);
  return result;
}

py::array_t<uint8_t> convert_array(const py::buffer& image, const CliOptions& options, int density) {
  return converted_array(image, options, [&](const ArrayPicture& picture, uint8_t* out) {
    return convert_array_picture(picture, options, density, out);
  });
}

using Colour = std::array<uint8_t, 3>;

std::vector<Colour> colours_of(const Palette& palette) {
  std::vector<Colour> colours(static_cast<size_t>(palette.count));
  for (int j = 0; j < palette.count; ++j) std::memcpy(colours[j].data(), palette.rgb[j], 3);
  return colours;
}

// A built-in palette's name or a list "#rrggbb,...": its colours, or ValueError naming the bad entry.
std::vector<Colour> palette_colours(const std::string& text) {
  Palette palette;
  std::string error;
  if (!parse_palette(text, &palette, &error)) throw py::value_error(error);
  return colours_of(palette);
}

// The built-in palettes, in the order the command lists them.
std::vector<std::pair<std::string, std::vector<Colour>>> builtin_palette_list() {
  std::vector<std::pair<std::string, std::vector<Colour>>> list;
  for (const NamedPalette& named : builtin_palettes()) list.emplace_back(named.name, palette_colours(named.colours));
  return list;
}

IndexedTarget indexed_target(const ConversionRequest& request) {
  IndexedTarget target;
  std::string error;
  if (!indexed_target_of(request, target, error)) throw py::value_error(error);
  return target;
}

// Per pixel the level index or palette entry of the picture, as the options ask.
py::array_t<uint8_t> convert_indexed(const py::buffer& image, const CliOptions& options, int density) {
  const IndexedTarget target = indexed_target(options);
  return converted_array(image, options, [&](const ArrayPicture& picture, uint8_t* out) {
    return convert_array_indexed(picture, options, density, target, out);
  });
}

// Hands a converted picture to numpy without copying it.
py::array_t<uint8_t> as_array(ConvertedPicture&& converted) {
  auto* held = new std::vector<uint8_t>(std::move(converted.pixels));
  py::capsule owner(held, [](void* p) { delete static_cast<std::vector<uint8_t>*>(p); });
  return py::array_t<uint8_t>({static_cast<py::ssize_t>(converted.height), static_cast<py::ssize_t>(converted.width)},
                              held->data(), owner);
}

py::array_t<uint8_t> convert_path(const std::string& path, const std::string& shown, const CliOptions& options) {
  ConvertedPicture converted;
  FileOutcome outcome;
  {
    py::gil_scoped_release released;
    outcome = convert_file_to_memory(path, shown, options, converted);
  }
  raise_outcome(outcome);
  return as_array(std::move(converted));
}

void convert_file(const std::string& path, const std::string& target, const CliOptions& options) {
  FileOutcome outcome;
  {
    py::gil_scoped_release released;
    outcome = convert_file_to_target(path, target, options);
  }
  raise_outcome(outcome);
}

py::bytes encode(const py::buffer& result, const CliOptions& options, const std::string& target, int32_t x_res,
                 int32_t y_res) {
  const py::buffer_info info = result.request();
  const ResultPicture picture = result_picture(info, options, x_res, y_res);
  std::vector<uint8_t> bytes;
  std::string error;
  bool ok = false;
  {
    py::gil_scoped_release released;
    ok = encode_result(picture, options, target, bytes, error);
  }
  if (!ok) throw py::value_error(error);
  return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void save(const py::buffer& result, const CliOptions& options, const std::string& target, int32_t x_res,
          int32_t y_res) {
  const py::buffer_info info = result.request();
  const ResultPicture picture = result_picture(info, options, x_res, y_res);
  std::string error;
  bool bad_value = false;
  {
    py::gil_scoped_release released;
    error = save_result(picture, options, target, bad_value);
  }
  if (bad_value) throw py::value_error(error);
  if (!error.empty()) throw WriteFailure(error);
}

int otsu_array(const py::buffer& image, const CliOptions& options) {
  const py::buffer_info info = image.request();
  const ArrayPicture picture = array_picture(info, options);
  py::gil_scoped_release released;
  return array_otsu(picture);
}

int otsu_path(const std::string& path, const std::string& shown, const CliOptions& options) {
  int density = 0;
  FileOutcome outcome;
  {
    py::gil_scoped_release released;
    outcome = file_otsu(path, shown, options, density);
  }
  raise_outcome(outcome);
  return density;
}

// A number of a descriptor as Python takes it: an int for a whole number, None for no bound.
py::object param_number(ParamKind kind, double value) {
  if (std::isinf(value) || kind == ParamKind::kText) return py::none();
  if (kind == ParamKind::kFlag) return py::bool_(value != 0);
  if (kind == ParamKind::kWhole) return py::int_(static_cast<long long>(value));
  return py::float_(value);
}

// The descriptors' texts break lines for --help; the module's are one line each.
std::string one_line(const char* text) {
  std::string line = text;
  for (char& c : line) c = c == '\n' ? ' ' : c;
  return line;
}

const char* family_name(const MethodDescriptor& m) {
  switch (m.family) {
    case HalftoneFamily::kErrorDiffusion: return "error-diffusion";
    case HalftoneFamily::kOrdered: return "ordered";
    case HalftoneFamily::kLocalThreshold: return "local-threshold";
    case HalftoneFamily::kThreshold: break;
  }
  return m.mode == 0 ? "threshold" : "random-threshold";
}

// Every method convert takes, with its family, description and parameters, as the
// core's descriptors give them: a parameter's keyword is its option's long name.
py::list method_descriptions() {
  static const char* const kKinds[] = {"bool", "int", "float", "str"};  // ParamKind's order
  py::list list;
  for (const MethodDescriptor& m : method_descriptors()) {
    py::list params;
    for (const MethodParam& taken : m.params) {
      const ParamDescriptor& d = param_descriptor(taken.param);
      const bool flag = d.kind == ParamKind::kFlag;
      params.append(py::make_tuple(d.name, kKinds[static_cast<int>(d.kind)],
                                   param_number(d.kind, param_default(m, taken.param)),
                                   flag ? py::none() : param_number(d.kind, d.min),
                                   flag ? py::none() : param_number(d.kind, d.max), one_line(d.help)));
    }
    list.append(py::make_tuple(m.name, family_name(m), one_line(m.description), py::tuple(params)));
  }
  return list;
}

// Every option of the command as (short name or "", long name or "", takes a value,
// names an output): what a front end needs to tell the inputs from the options' words.
py::list option_spellings() {
  py::list list;
  const CliOptionSections sections = cli_option_sections();
  for (size_t s = 0; s < sections.count; ++s) {
    for (size_t r = 0; r < sections.list[s]->count; ++r) {
      const CliOption& row = sections.list[s]->rows[r];
      list.append(py::make_tuple(row.short_name ? std::string("-") + row.short_name : std::string(),
                                 row.long_name ? std::string("--") + row.long_name : std::string(),
                                 row.argument != nullptr, row.after_inputs_end));
    }
  }
  return list;
}

}  // namespace

PYBIND11_MODULE(_quillvex, m) {
  m.doc() = "The Quillvex core: the command's readers, conversion and writers.";
  static py::exception<ReadFailure> read_error(m, "ReadError", PyExc_OSError);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ReadFailure& e) {
      read_error(e.what());
    } catch (const WriteFailure& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    }
  });

  py::class_<CliOptions>(m, "Options", "Options parsed by the command's rules.")
      .def_readonly("density", &CliOptions::density)
      .def_readonly("automatic", &CliOptions::automatic)
      .def_readonly("format", &CliOptions::format)
      .def_readonly("inputs", &CliOptions::inputs)
      .def_readonly("folder", &CliOptions::folder)
      .def_readonly("levels", &CliOptions::levels)
      // The palette's colours, or None.
      .def_property_readonly("palette", [](const CliOptions& o) -> py::object {
        if (!wants_palette(o)) return py::none();
        return py::cast(colours_of(indexed_target(o).palette.value_or(Palette{})));
      })
      .def_property_readonly("extension", [](const CliOptions& o) { return format_extension(o.format); });

  m.def("parse_options", &parse_options, py::arg("args"),
        "Parses the command's words for the options; ValueError with the command's message.");
  m.def("convert_array", &convert_array, py::arg("image"), py::arg("options"), py::arg("density"));
  m.def("convert_path", &convert_path, py::arg("path"), py::arg("shown"), py::arg("options"));
  m.def("convert_file", &convert_file, py::arg("path"), py::arg("target"), py::arg("options"));
  m.def("encode", &encode, py::arg("result"), py::arg("options"), py::arg("target"), py::arg("x_resolution"),
        py::arg("y_resolution"));
  m.def("save", &save, py::arg("result"), py::arg("options"), py::arg("target"), py::arg("x_resolution"),
        py::arg("y_resolution"));
  m.def("convert_array_indexed", &convert_indexed, py::arg("image"), py::arg("options"), py::arg("density"));
  m.def("palettes", &builtin_palette_list);
  m.def("otsu_array", &otsu_array, py::arg("image"), py::arg("options"));
  m.def("otsu_path", &otsu_path, py::arg("path"), py::arg("shown"), py::arg("options"));
  m.def("methods", &method_descriptions);
  m.def(
      "output_path",
      [](const CliOptions& o, const std::string& input) { return output_path_for(o, input, o.format); },
      py::arg("options"), py::arg("input"));
  m.def("batch_refusals", &check_batch, py::arg("inputs"), py::arg("targets"),
        "Per input, why its output can't be written in this batch, or an empty string.");
  m.def("option_spellings", &option_spellings);
  // For the tests that hold every vector path to the scalar one: the level the row kernels use.
  m.def("simd_level", [] { return static_cast<int>(active_simd_level()); });
  m.def("force_simd_level", [](int level) { return force_simd_level(static_cast<SimdLevel>(level)); }, py::arg("level"));
  m.def("format_of_name", &format_of_name, py::arg("name"));
}
