// The cube mesh as the renderer reads it: the first mesh's first primitive, its first attribute's
// whole buffer view as the vertex buffer (a position in each vertex's first 12 bytes), and the
// index view drawn from index 0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "cgltf.h"

namespace {

struct Vec3 {
  float x, y, z;
};
Vec3 Sub(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

class Mesh : public ::testing::Test {
 protected:
  void SetUp() override {
    cgltf_options options = {};
    ASSERT_EQ(cgltf_parse_file(&options, TC_RESOURCES_DIR "/mesh2.glb", &data_),
              cgltf_result_success);
    ASSERT_EQ(cgltf_load_buffers(&options, data_, TC_RESOURCES_DIR "/mesh2.glb"),
              cgltf_result_success);
    ASSERT_EQ(data_->meshes_count, 1u);
    ASSERT_EQ(data_->meshes[0].primitives_count, 1u);
    prim_ = &data_->meshes[0].primitives[0];
    ASSERT_EQ(prim_->attributes_count, 3u);
    ASSERT_NE(prim_->indices, nullptr);
  }
  void TearDown() override { cgltf_free(data_); }

  // Vertex i as the renderer sees it: read from the start of the first attribute's view.
  Vec3 Position(cgltf_size i) const {
    const cgltf_buffer_view* view = prim_->attributes[0].data->buffer_view;
    const auto* bytes = static_cast<const unsigned char*>(view->buffer->data) + view->offset;
    Vec3 p;
    std::memcpy(&p, bytes + i * view->stride, sizeof p);
    return p;
  }
  Vec3 Normal(cgltf_size i) const {
    Vec3 n;
    cgltf_accessor_read_float(prim_->attributes[1].data, i, &n.x, 3);
    return n;
  }
  cgltf_size Index(cgltf_size k) const { return cgltf_accessor_read_index(prim_->indices, k); }

  cgltf_data* data_ = nullptr;
  const cgltf_primitive* prim_ = nullptr;
};

TEST_F(Mesh, PassesValidation) {
  EXPECT_EQ(cgltf_validate(data_), cgltf_result_success);
}

TEST_F(Mesh, PositionComesFirstAndAllAttributesShareOneInterleavedView) {
  EXPECT_EQ(prim_->type, cgltf_primitive_type_triangles);
  const cgltf_attribute* a = prim_->attributes;
  EXPECT_EQ(a[0].type, cgltf_attribute_type_position);
  EXPECT_EQ(a[1].type, cgltf_attribute_type_normal);
  EXPECT_EQ(a[2].type, cgltf_attribute_type_texcoord);
  EXPECT_EQ(a[2].index, 0);
  const cgltf_buffer_view* view = a[0].data->buffer_view;
  EXPECT_EQ(view->stride, 32u);
  EXPECT_EQ(a[0].data->offset, 0u) << "the renderer ignores accessor offsets";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(a[i].data->buffer_view, view);
    EXPECT_EQ(a[i].data->count, 24u);
    EXPECT_EQ(a[i].data->component_type, cgltf_component_type_r_32f);
  }
  EXPECT_EQ(a[0].data->type, cgltf_type_vec3);
  EXPECT_EQ(a[1].data->type, cgltf_type_vec3);
  EXPECT_EQ(a[2].data->type, cgltf_type_vec2);
  EXPECT_EQ(view->size, 24u * 32u);
  EXPECT_EQ(view->type, cgltf_buffer_view_type_vertices);
}

TEST_F(Mesh, HasThirtySixSixteenBitIndicesInAViewOfTheirOwn) {
  const cgltf_accessor* idx = prim_->indices;
  EXPECT_EQ(idx->component_type, cgltf_component_type_r_16u);
  EXPECT_EQ(idx->count, 36u);
  EXPECT_EQ(idx->offset, 0u);
  EXPECT_NE(idx->buffer_view, prim_->attributes[0].data->buffer_view);
  EXPECT_EQ(idx->buffer_view->type, cgltf_buffer_view_type_indices);
  EXPECT_EQ(idx->buffer_view->size, 36u * 2u);
  for (cgltf_size k = 0; k < idx->count; ++k)
    EXPECT_LT(Index(k), 24u);
}

TEST_F(Mesh, IsAUnitCubeCentredOnTheOriginWithDeclaredBounds) {
  const cgltf_accessor* pos = prim_->attributes[0].data;
  ASSERT_TRUE(pos->has_min && pos->has_max);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(pos->min[c], -0.5f);
    EXPECT_EQ(pos->max[c], 0.5f);
  }
  int corners_used[8] = {};
  for (cgltf_size i = 0; i < pos->count; ++i) {
    const Vec3 p = Position(i);
    for (float v : {p.x, p.y, p.z})
      ASSERT_EQ(std::fabs(v), 0.5f) << "vertex " << i;
    ++corners_used[(p.x > 0) + 2 * (p.y > 0) + 4 * (p.z > 0)];
  }
  // Flat faces: each corner of the cube appears once for each of its three faces.
  for (int count : corners_used)
    EXPECT_EQ(count, 3);
}

TEST_F(Mesh, EveryTriangleFacesOutwardsAndMatchesItsVertexNormals) {
  int faces_seen[6] = {};
  for (cgltf_size t = 0; t < 12; ++t) {
    const cgltf_size i0 = Index(3 * t), i1 = Index(3 * t + 1), i2 = Index(3 * t + 2);
    const Vec3 p0 = Position(i0), p1 = Position(i1), p2 = Position(i2);
    const Vec3 geometric = Cross(Sub(p1, p0), Sub(p2, p0));
    const Vec3 centre = {(p0.x + p1.x + p2.x) / 3, (p0.y + p1.y + p2.y) / 3,
                         (p0.z + p1.z + p2.z) / 3};
    // Counter-clockwise seen from outside: the geometric normal points away from the centre.
    EXPECT_GT(Dot(geometric, centre), 0.0f) << "triangle " << t << " is wound inwards";
    EXPECT_FLOAT_EQ(std::sqrt(Dot(geometric, geometric)), 1.0f) << "triangle " << t;
    for (cgltf_size i : {i0, i1, i2}) {
      const Vec3 n = Normal(i);
      EXPECT_FLOAT_EQ(Dot(n, geometric), 1.0f) << "vertex " << i << " of triangle " << t;
    }
    const Vec3 n = Normal(i0);
    const int axis = n.x != 0 ? 0 : n.y != 0 ? 1 : 2;
    const float sign = axis == 0 ? n.x : axis == 1 ? n.y : n.z;
    ++faces_seen[2 * axis + (sign > 0)];
  }
  for (int count : faces_seen)
    EXPECT_EQ(count, 2) << "each face is two triangles";
}

}  // namespace
