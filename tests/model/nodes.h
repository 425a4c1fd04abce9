// Short names for the nodes of hand-written programs.
#pragma once

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

}  // namespace vobrix::model::test
