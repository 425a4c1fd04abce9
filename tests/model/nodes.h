// Short names for the nodes of hand-written programs, and the models the tests build of them.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/error_text.h"
#include "model/model.h"

namespace vobrix::model::test {

inline ModelNode F(int index) {
  return {ModelNode::Kind::Function, index, 0.0};
}
inline ModelNode X(int k) {
  return {ModelNode::Kind::Variable, k, 0.0};
}
inline ModelNode C(double v) {
  return {ModelNode::Kind::Constant, 0, v};
}

inline std::uint64_t Bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// The message of the ModelError the action throws, or "(none)" when it throws nothing.
template <class Action>
std::string ModelErrorOf(Action action) {
  return vobrix::testing::ErrorText<ModelError>(action, "(none)");
}

// A model of one program, by default over every function.
inline Model OneProgram(std::vector<ModelNode> program, std::int32_t window,
                        std::vector<int> functions = {kAdd, kSubtract, kMultiply, kDivide, kSin,
                                                      kCos, kTan, kLn, kLog10, kSqrt}) {
  Model m;
  m.windowSize = window;
  m.functions = std::move(functions);
  m.populations = {{std::move(program), 0.0, {}}};
  return m;
}

// An ensemble of window 1 with a clip when given; member k's program is programs[k].
inline Model Members(const std::vector<std::vector<ModelNode>>& programs,
                     std::optional<Clip> clip) {
  Model m;
  m.windowSize = 1;
  m.functions = {kAdd, kSubtract, kMultiply, kDivide};
  m.clip = clip;
  m.ensemble = Ensemble{static_cast<std::int32_t>(programs.size()), {}, {}};
  for (std::size_t k = 0; k < programs.size(); ++k) {
    MemberModel member;
    member.number = static_cast<std::int32_t>(k + 1);
    member.seed = 1000u + static_cast<std::uint32_t>(k);
    member.generation = static_cast<std::int32_t>(k);
    member.program = programs[k];
    member.trainingMse = 0.5 + static_cast<double>(k);
    member.holdoutMse = 0.1 * static_cast<double>(k);
    m.ensemble->members.push_back(member);
  }
  return m;
}

}  // namespace vobrix::model::test
