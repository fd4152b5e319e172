// The cube shader's HLSL text, carried by the program and compiled at start-up for vs_5_0 and
// ps_5_0. Twin: render/gl/cube_shader.h.
//
// The vertex stage reads the constant buffer `c` (column-major packing, so the row-major Mat4
// images uploaded unchanged act as their transposes and mul(M, v) equals the CPU's v * M) and
// derives texture coordinates from the object-space position.
//
// The pixel stage's four parameters live in the stage's implicit global constant buffer, which
// the program never binds: they read as zero, so the glow adds nothing, the eight spread samples
// all equal the centre one and the output is (9.2 r, 8.8 g, 9 b, 9 a) / 3 of the texel. They are
// declared without initialisers: the runtime would never apply them, and Wine's HLSL compiler
// rejects initialised globals (docs/how-it-runs.md, "Kept on purpose").
#pragma once

namespace tc {

constexpr char kCubeShaderSource[] = R"hlsl(
cbuffer c
{
    float4x4 projectionMatrix;
    float4x4 worldMatrix;
};

struct VS_INPUT
{
    float3 Pos : POSITION;
};

struct VS_OUTPUT
{
    float4 Pos : SV_POSITION;
    float2 TexCoord : TEXCOORD0;
};

Texture2D tex;
SamplerState smp;

float glowThreshold;
float glowStrength;
float2 texelSize;
float blurStrength;

VS_OUTPUT vs_main(VS_INPUT input)
{
    VS_OUTPUT output;
    float4 q = float4(input.Pos, 1.0);
    q = mul(worldMatrix, q);
    q = mul(projectionMatrix, q);
    output.Pos = q;
    output.TexCoord = float2((input.Pos.x + input.Pos.z) * 2.0, (input.Pos.y + input.Pos.z) * 2.0);
    return output;
}

float4 ps_main(VS_OUTPUT input) : SV_TARGET
{
    float2 uv = input.TexCoord;
    float4 c = tex.Sample(smp, uv);
    float g = max(c.r, max(c.g, c.b));
    if (g > glowThreshold)
    {
        c.rgb += glowStrength * (c.rgb - 0.5);
    }
    c = float4(c.r * 1.2, c.g * 0.8, c.b * 1.0, c.a);
    float2 d = texelSize * blurStrength;
    float4 s = c;
    s += tex.Sample(smp, uv + float2(d.x, 0.0));
    s += tex.Sample(smp, uv + float2(-d.x, 0.0));
    s += tex.Sample(smp, uv + float2(0.0, d.y));
    s += tex.Sample(smp, uv + float2(0.0, -d.y));
    s += tex.Sample(smp, uv + float2(d.x, d.y));
    s += tex.Sample(smp, uv + float2(-d.x, -d.y));
    s += tex.Sample(smp, uv + float2(d.x, -d.y));
    s += tex.Sample(smp, uv + float2(-d.x, d.y));
    return s / 3.0;
}
)hlsl";

}  // namespace tc
