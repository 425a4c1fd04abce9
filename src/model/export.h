// A model's program written out exactly, in four forms: infix text, a C function, a Python
// function and LaTeX. Constants are written so that they read back to the same double. The C
// and Python functions take x[0] .. x[w-1] (X0 the oldest, X(w-1) the latest) in the data's
// original units and give the same bits as the engine, protections included; a normalized
// model normalizes its inputs and maps its output back as the predictor does, a clipped model
// clips, an ensemble takes its members' median, a model of parts the mean of its parts' values,
// each part given the latest values it reads. The text and LaTeX forms of an ensemble list its
// members and say how they are combined; those of a model of parts give the mean, then each
// part's own form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"

namespace vobrix::model {

// The program alone as one infix expression with full-precision constants, e.g.
// "((X3 + 2.5) / sin(X4))". The function symbols are the engine's.
std::string InfixText(const std::vector<ModelNode>& program);

// The chosen population's formula as text: "y = ..." with the normalization, the scaling and
// what the protected functions do.
std::string ExportText(const Model& model, std::size_t population);

// A self-contained C file defining `double vobrix_predict(const double *x)`.
std::string ExportC(const Model& model, std::size_t population);
// Its two parts, so that several models can share one file: the includes and the helper
// functions (the normalization helper, and the clip, median and rounded-difference "guards",
// only when asked), then the function itself. An ensemble's function is preceded by one
// function per member, named name_member1, name_member2, ...; it returns their median, clipped.
// A model of parts' function is preceded by each part's, name_part1, name_part2, ...; it
// returns their mean.
std::string CPreamble(bool withNormalization, bool withGuards = false);
std::string CFunction(const Model& model, std::size_t population, const std::string& name);

// A self-contained Python module defining `predict(x)`, using only the standard library.
std::string ExportPython(const Model& model, std::size_t population);
std::string PythonPreamble(bool withNormalization, bool withGuards = false);
std::string PythonFunction(const Model& model, std::size_t population, const std::string& name);

// The formula in LaTeX math, with comments ("%") saying what the protected functions do.
std::string ExportLatex(const Model& model, std::size_t population);

// The four forms by the names `vobrix-cli export --format` takes: "text", "c", "python",
// "latex"; nullptr for any other name.
using Exporter = std::string (*)(const Model&, std::size_t);
Exporter ExporterOf(std::string_view format);
// The file an export writes (`vobrix-cli export`, the window's "Export Formula…"): the form's
// text, ending with a line break.
std::string ExportFile(Exporter exporter, const Model& model, std::size_t population);

}  // namespace vobrix::model
