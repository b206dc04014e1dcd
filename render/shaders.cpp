// Shader texts. Binding numbers, locations and entry-point names are shared with the pipelines and
// bind groups in C++: change them together.
#include "render/shaders.h"

const char SceneShaderSource[] = R"(
const PI: f32 = 3.14159265;
const LIGHT_POS: vec3f = vec3f(0.0, 3.6, 0.0);
const LIGHT_POWER: f32 = 30.0;
const AMBIENT: f32 = 0.25;
const TILE_METRES: f32 = 2.0;

struct U {
    vp: mat4x4f,
    eye: vec4f,
};

// Set on a CPU rasterizer, where every instruction per pixel counts: vertex colours are linearised
// per vertex instead of per pixel (each face and capsule has one colour, so the result is the same)
// and the final gamma step is a polynomial in the square root, within 1.4/255 of the power.
override CPU_RASTERIZER: bool = false;

@group(0) @binding(0) var<uniform> u: U;
@group(0) @binding(1) var baseTex: texture_2d<f32>;
@group(0) @binding(2) var normalTex: texture_2d<f32>;
@group(0) @binding(3) var ormTex: texture_2d<f32>;
@group(0) @binding(4) var samp: sampler;

struct VI {
    @location(0) position: vec3f,
    @location(1) normal: vec3f,
    @location(2) colour: vec3f,
};

struct VO {
    @builtin(position) clip: vec4f,
    @location(0) n: vec3f,
    @location(1) c: vec3f,
    @location(2) w: vec3f,
};

@vertex
fn vs(input: VI) -> VO {
    var out: VO;
    out.clip = u.vp * vec4f(input.position, 1.0);
    out.n = input.normal;
    out.c = input.colour;
    if (CPU_RASTERIZER) {
        out.c = pow(input.colour, vec3f(2.2));
    }
    out.w = input.position;
    return out;
}

fn pow5(x: f32) -> f32 {
    let x2 = x * x;
    return x2 * x2 * x;
}

fn encodeGamma(col: vec3f) -> vec3f {
    if (CPU_RASTERIZER) {
        let s = sqrt(col);
        return min(s * (1.2256 + s * (-0.4079 + s * 0.1860)), vec3f(1.0));
    }
    return pow(col, vec3f(1.0 / 2.2));
}

// Point light with a GGX microfacet specular, Lambert diffuse, a Fresnel-weighted ambient term and
// a filmic tone curve; returns gamma-encoded colour for a non-sRGB target.
fn shade(w: vec3f, n: vec3f, base: vec3f, rough: f32, metal: f32, ao: f32) -> vec4f {
    let v = normalize(u.eye.xyz - w);
    let toL = LIGHT_POS - w;
    let d2 = dot(toL, toL);
    let l = toL / sqrt(d2);
    let h = normalize(v + l);
    let nl = max(dot(n, l), 0.0);
    let nv = max(dot(n, v), 0.001);
    let nh = max(dot(n, h), 0.0);

    let a = max(rough * rough, 0.002);
    let a2 = a * a;
    let dn = nh * nh * (a2 - 1.0) + 1.0;
    let D = a2 / (PI * dn * dn);

    let k = (rough + 1.0) * (rough + 1.0) / 8.0;
    let G = (nl / (nl * (1.0 - k) + k)) * (nv / (nv * (1.0 - k) + k));

    let f0 = mix(vec3f(0.04), base, metal);
    // Two unit vectors can have a dot product a hair above 1; pow of a negative base is undefined.
    let F = f0 + (vec3f(1.0) - f0) * pow5(clamp(1.0 - dot(h, v), 0.0, 1.0));

    let specular = F * D * G / max(4.0 * nl * nv, 0.001);
    let diff = (vec3f(1.0) - F) * (1.0 - metal) * base / PI;
    var col = (diff + specular) * LIGHT_POWER / d2 * nl;

    let ambF = f0 + (max(vec3f(1.0 - rough), f0) - f0) * pow5(max(1.0 - nv, 0.0));
    col = col + ((vec3f(1.0) - ambF) * (1.0 - metal) * base + ambF) * AMBIENT * ao;

    col = clamp(col * (2.51 * col + 0.03) / (col * (2.43 * col + 0.59) + 0.14), vec3f(0.0), vec3f(1.0));
    return vec4f(encodeGamma(col), 1.0);
}

@fragment
fn fs_flat(input: VO) -> @location(0) vec4f {
    var base = input.c;
    if (!CPU_RASTERIZER) {
        base = pow(input.c, vec3f(2.2));
    }
    return shade(input.w, normalize(input.n), base, 0.8, 0.0, 1.0);
}

// The maps repeat every TILE_METRES; the normal map's x is world +x and its y is world -z.
@fragment
fn fs_floor(input: VO) -> @location(0) vec4f {
    let uv = vec2f(input.w.x, input.w.z) / TILE_METRES;
    let t = textureSample(normalTex, samp, uv).xyz * 2.0 - 1.0;
    let n = normalize(vec3f(t.x, t.z, -t.y));
    let orm = textureSample(ormTex, samp, uv).xyz;
    let base = textureSample(baseTex, samp, uv).rgb;
    return shade(input.w, n, base, orm.g, orm.b, orm.r);
}
)";

const char UiShaderSource[] = R"(
@group(0) @binding(0) var<uniform> screen: vec4f;
@group(0) @binding(1) var tex: texture_2d<f32>;
@group(0) @binding(2) var samp: sampler;

struct VI {
    @location(0) position: vec2f,
    @location(1) uv: vec2f,
    @location(2) colour: vec4f,
};

struct VO {
    @builtin(position) clip: vec4f,
    @location(0) uv: vec2f,
    @location(1) c: vec4f,
};

// Window pixels, origin top left and y down, to clip space.
@vertex
fn vs(input: VI) -> VO {
    var out: VO;
    out.clip = vec4f(input.position.x / screen.x * 2.0 - 1.0, 1.0 - input.position.y / screen.y * 2.0, 0.0, 1.0);
    out.uv = input.uv;
    out.c = input.colour;
    return out;
}

@fragment
fn fs(input: VO) -> @location(0) vec4f {
    return vec4f(input.c.rgb, input.c.a * textureSample(tex, samp, input.uv).r);
}
)";
