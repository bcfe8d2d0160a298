#!/usr/bin/env python3
"""Writes the x87 kernels of the engines' per-draw evaluation (Lambda's
Cholesky factor and the coefficient draw), one per number of covariates 1 .. 5,
into src/Bayes_Engines/draw_kernels_x86_64.S, and the layout of their working
memory (DrawKernelFrame, and Split) into src/Bayes_Engines/draw_kernel_frame.h.
The offsets in both come from the one table FRAME below.

The kernels do exactly the arithmetic of EvaluateDrawFast in
monte_carlo_run.cpp, operation for operation and in the same order; they differ
only in where values are kept between operations. An 80-bit load or store is
several times as costly as a 64-bit one, so every stored value is kept as a
pair of doubles whose difference is exactly the value (hi = the value rounded
to double, excess = hi - the value), stored with one subtraction and loaded
back with one load and one subtraction. A pair is exact
unless the conversions underflow or overflow; the kernels clear the x87
exception flags on entry and report failure when any of invalid, denormal,
divide-by-zero, overflow, underflow or stack fault was raised, and the caller
then evaluates the draw the slow way. The most recent entries of the factor's
current row stay in the register stack.

Run: python3 scripts/gen_draw_kernels.py           (writes both files)
     python3 scripts/gen_draw_kernels.py --check   (fails when either is stale)
"""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ASM_FILE = "src/Bayes_Engines/draw_kernels_x86_64.S"
HEADER_FILE = "src/Bayes_Engines/draw_kernel_frame.h"

SPLIT = 16  # a Split: two doubles
LONG_DOUBLE = 16  # an x87 80-bit real in memory (x86-64 System V), 16-byte aligned
MAX_KP1 = 6
MAX_D = 2 * MAX_KP1

# DrawKernelFrame, field by field: (name, C++ type, array extents, comment).
FRAME = [
    ("xtx", "Split", [MAX_KP1, MAX_KP1], "(X'X)^-1"),
    ("bHat", "Split", [MAX_D], "the stacked least-squares coefficients"),
    ("score", "Split", [MAX_KP1], "1 and the case's covariate values"),
    ("threshold", "Split", [], "the Cholesky threshold, 1e-12"),
    ("sigma", "Split", [3], "Sigma*[1,1], [2,1], [2,2]"),
    ("mu", "Split", [], "the running conditional mean"),
    ("mu1", "long double", [], "the draw's conditional mean of Y1"),
    ("mu2", "long double", [], "the draw's conditional mean of Y2"),
    ("factor", "Split", [MAX_D, MAX_D], "Lambda's factor, lower triangle"),
]
SIZE_AND_ALIGNMENT = {"Split": (SPLIT, 8), "long double": (LONG_DOUBLE, 16)}


def frame_layout():
    """Offsets of the fields as the C++ compiler lays them out, and the size."""
    offsets, offset, alignment = {}, 0, 1
    for name, ctype, extents, _ in FRAME:
        size, align = SIZE_AND_ALIGNMENT[ctype]
        offset = (offset + align - 1) // align * align
        offsets[name] = offset
        for n in extents:
            size *= n
        offset += size
        alignment = max(alignment, align)
    return offsets, (offset + alignment - 1) // alignment * alignment


OFFSETS, FRAME_SIZE = frame_layout()
XTX = OFFSETS["xtx"]
BHAT = OFFSETS["bHat"]
SCORE = OFFSETS["score"]
THRESHOLD = OFFSETS["threshold"]
SIGMA = OFFSETS["sigma"]
MU = OFFSETS["mu"]
MU1 = OFFSETS["mu1"]
MU2 = OFFSETS["mu2"]
FACTOR = OFFSETS["factor"]

DIRECTIVES = {"if", "ifdef", "ifndef", "elif", "else", "endif", "define", "undef", "include",
              "line", "error", "warning", "pragma"}

CACHE = 4  # entries of the current row kept in registers
EXCEPTIONS = 0x5F  # IE DE ZE OE UE SF


class Kernel:
    def __init__(self, kp1):
        self.kp1 = kp1
        self.d = 2 * kp1
        self.lines = []
        self.stack = []  # stack[0] is st(0)
        self.label = 0
        self.fail_sites = []  # (label, depth)

    def emit(self, text):
        self.lines.append("  " + text)

    def comment(self, text):
        # The .S file goes through the C preprocessor: a comment must not read
        # as one of its directives.
        assert text.split()[0] not in DIRECTIVES, text
        self.lines.append("  # " + text)

    def push(self, name):
        self.stack.insert(0, name)
        assert len(self.stack) <= 8, self.stack

    def pop(self):
        self.stack.pop(0)

    def pos(self, name):
        return self.stack.index(name)

    # --- loads and stores -------------------------------------------------
    def join(self, base, offset, name):
        """Pushes the value of the pair at [base + offset]: hi - excess."""
        self.emit(f"fld qword ptr [{base}+{offset}]")
        self.emit(f"fsub qword ptr [{base}+{offset + 8}]")
        self.push(name)

    def split_store(self, offset):
        """Stores st(0) as a pair at [rdi + offset], keeping it: hi, then hi - st(0)."""
        self.emit("fld st(0)")
        self.emit(f"fst qword ptr [rdi+{offset}]")
        self.emit(f"fsubr qword ptr [rdi+{offset}]")
        self.emit(f"fstp qword ptr [rdi+{offset + 8}]")

    def drop(self, name):
        """Discards a value anywhere in the stack."""
        p = self.pos(name)
        if p == 0:
            self.emit("fstp st(0)")
            self.pop()
        else:
            # st(0) overwrites it and is popped: the old top now sits at p - 1.
            top = self.stack[0]
            self.emit(f"fstp st({p})")
            self.stack[p] = top
            self.pop()

    # --- operands -----------------------------------------------------------
    def xtx(self, r, c):
        return XTX + (r * MAX_KP1 + c) * SPLIT

    def sigma(self, a, b):  # lower triangle: s00, s10, s11
        return SIGMA + {(0, 0): 0, (1, 0): 1, (1, 1): 2}[(a, b)] * SPLIT

    def factor(self, i, j):
        return FACTOR + (i * MAX_D + j) * SPLIT

    def lambda_entry(self, i, j, name):
        """Pushes Lambda[i, j] = Sigma*[a, b] x (X'X)^-1[r, c]."""
        p = self.kp1
        a, b = (1 if i >= p else 0), (1 if j >= p else 0)
        self.join("rdi", self.sigma(a, b), "s")
        self.join("rdi", self.xtx(i - a * p, j - b * p), "x")
        self.emit("fmulp st(1), st")
        self.pop()
        self.stack[0] = name

    def lambda_text(self, i, j):
        """Lambda[i, j] as the product of Sigma* and (X'X)^-1 entries (0-based)."""
        p = self.kp1
        a, b = (1 if i >= p else 0), (1 if j >= p else 0)
        return f"Sigma*[{a}][{b}] (X'X)^-1[{i - a * p}][{j - b * p}]"

    def multiply_by_factor(self, i, k, cache):
        """st(0) = st(0) x L[i, k], from the registers when cached."""
        name = f"L{i}_{k}"
        if name in cache:
            self.emit(f"fmul st, st({self.pos(name)})")
        else:
            self.join("rdi", self.factor(i, k), "tmp")
            self.emit("fmulp st(1), st")
            self.pop()

    def subtract_top(self):
        """st(1) = st(1) - st(0), popped."""
        self.emit("fsubp st(1), st")
        self.pop()

    # --- the kernel ---------------------------------------------------------
    def generate(self):
        d, p = self.d, self.kp1
        name = f"quorvane_draw_kernel_{p - 1}"
        self.lines += [
            "",
            f"  .globl {name}",
            f"  .type {name}, @function",
            "  .p2align 4",
            f"{name}:",
        ]
        self.emit("fnclex")
        # Sigma*'s lower triangle, 80-bit at rsi, rsi + 16, rsi + 32.
        for t in range(3):
            self.emit(f"fld tbyte ptr [rsi+{16 * t}]")
            self.push("sig")
            self.split_store(SIGMA + t * SPLIT)
            self.emit("fstp st(0)")
            self.pop()
        for i in range(d):
            self.row(i)
        assert not self.stack, self.stack
        self.emit("fnstsw ax")
        self.emit(f"test eax, {EXCEPTIONS}")
        self.emit("sete al")
        self.emit("movzx eax, al")
        self.emit("ret")
        for label, depth in self.fail_sites:
            self.lines.append(f".Lfail_{p - 1}_{label}:")
            for _ in range(depth):
                self.emit("fstp st(0)")
            self.emit("xor eax, eax")
            self.emit("ret")
        self.lines.append(f"  .size {name}, .-{name}")
        return "\n".join(self.lines)

    def row(self, i):
        d, p = self.d, self.kp1
        cache = []  # names of this row's entries held in registers, oldest first
        self.emit("fldz")
        self.push("acc")
        self.comment(f"Row {i} of the factor L (0-based), and Cf u along it into acc")
        for j in range(i):
            # t = Lambda[i, j] - sum over k < j of L[j, k] L[i, k], k ascending.
            if j > 0:
                t = f"(Lambda[{i}][{j}] - sum over k < {j} of L[{j}][k] L[{i}][k])"
            else:
                t = f"Lambda[{i}][{j}]"
            self.comment(f"L[{i}][{j}] = {t} / L[{j}][{j}]")
            self.comment(f"  Lambda[{i}][{j}] = {self.lambda_text(i, j)}; "
                         f"then acc = L[{i}][{j}] u[{j}] + acc")
            self.lambda_entry(i, j, "t")
            for k in range(j):
                self.join("rdi", self.factor(j, k), "prod")
                self.multiply_by_factor(i, k, cache)
                self.subtract_top()
            # L[i, j] = t / L[j, j]
            self.join("rdi", self.factor(j, j), "pivot")
            self.emit("fdivp st(1), st")
            self.pop()
            entry = f"L{i}_{j}"
            self.stack[0] = entry
            self.split_store(self.factor(i, j))
            # acc = L[i, j] u[j] + acc
            self.join("rdx", j * SPLIT, "u")
            self.emit(f"fmul st, st({self.pos(entry)})")
            self.emit(f"faddp st({self.pos('acc')}), st")
            self.pop()
            cache.append(entry)
            if len(cache) > CACHE:
                self.drop(cache.pop(0))
        # sum = Lambda[i, i] - sum over k < i of L[i, k]^2
        less = f" - sum over k < {i} of L[{i}][k]^2" if i > 0 else ""
        self.comment(f"L[{i}][{i}] = sqrt(Lambda[{i}][{i}]{less}), unless below 1e-12 or NaN")
        self.comment(f"  Lambda[{i}][{i}] = {self.lambda_text(i, i)}; "
                     f"then acc = L[{i}][{i}] u[{i}] + acc")
        self.lambda_entry(i, i, "sum")
        for k in range(i):
            entry = f"L{i}_{k}"
            if entry in cache:
                self.emit(f"fld st({self.pos(entry)})")
                self.push("sq")
            else:
                self.join("rdi", self.factor(i, k), "sq")
            self.emit("fmul st, st(0)")
            self.subtract_top()
        for entry in cache:
            self.drop(entry)
        # The pivot must reach the threshold (1e-12, or less for a small
        # diagonal): below 1e-12, or NaN, the caller decides.
        self.join("rdi", THRESHOLD, "threshold")
        self.emit("fcomip st, st(1)")
        self.pop()
        self.label += 1
        self.fail_sites.append((self.label, len(self.stack)))
        self.emit(f"jp .Lfail_{p - 1}_{self.label}")
        self.emit(f"ja .Lfail_{p - 1}_{self.label}")
        self.emit("fsqrt")
        self.stack[0] = "pivot"
        self.split_store(self.factor(i, i))
        # acc = pivot u[i] + acc
        self.join("rdx", i * SPLIT, "u")
        self.emit("fmulp st(1), st")
        self.pop()
        self.emit("faddp st(1), st")
        self.pop()
        # When acc is zero, the products of the zeros above the diagonal
        # with the remaining u still decide its sign.
        if i + 1 < d:
            rest = f"u[{i + 1}]" if i + 2 == d else f"u[{i + 1}] .. u[{d - 1}]"
            self.comment(f"when acc == 0: acc = 0 u[j] + acc for {rest}, the zeros above the "
                         "diagonal")
            self.label += 1
            skip = f".Lnonzero_{p - 1}_{self.label}"
            self.emit("fldz")
            self.emit("fucomip st, st(1)")
            self.emit(f"jp {skip}")
            self.emit(f"jne {skip}")
            for j in range(i + 1, d):
                self.emit("fldz")
                self.push("zero")
                self.join("rdx", j * SPLIT, "u")
                self.emit("fmulp st(1), st")
                self.pop()
                self.emit("faddp st(1), st")
                self.pop()
            self.lines.append(f"{skip}:")
        # b = bHat[i] + acc; mu = b score[i or i - p] + mu
        mean = "mu1" if i < p else "mu2"
        before = "0" if i in (0, p) else mean
        self.comment(f"b[{i}] = bHat[{i}] + acc; {mean} = b[{i}] score[{i if i < p else i - p}] "
                     f"+ {before}")
        self.join("rdi", BHAT + i * SPLIT, "bhat")
        self.emit("faddp st(1), st")
        self.pop()
        self.join("rdi", SCORE + (i if i < p else i - p) * SPLIT, "score")
        self.emit("fmulp st(1), st")
        self.pop()
        if i == 0 or i == p:
            self.emit("fldz")
        else:
            self.emit(f"fld qword ptr [rdi+{MU}]")
            self.emit(f"fsub qword ptr [rdi+{MU + 8}]")
        self.emit("faddp st(1), st")
        if i == p - 1:
            self.emit(f"fstp tbyte ptr [rdi+{MU1}]")
        elif i == d - 1:
            self.emit(f"fstp tbyte ptr [rdi+{MU2}]")
        else:
            self.split_store(MU)
            self.emit("fstp st(0)")
        self.pop()


def assembly():
    out = [
        "# Generated by scripts/gen_draw_kernels.py; do not edit.",
        "#",
        "# bool quorvane_draw_kernel_<k>(DrawKernelFrame* frame /* rdi */,",
        "#                               const long double sigma[3] /* rsi, 16-byte stride */,",
        "#                               const Split* u /* rdx */)",
        "# for k = 1 .. 5 covariates. Returns false (eax = 0) when a pivot is below",
        "# 1e-12 or NaN, or when an x87 exception other than precision was raised.",
        f"# Frame: (X'X)^-1 at {XTX}, bHat at {BHAT}, score at {SCORE}, 1e-12 at {THRESHOLD},",
        f"# Sigma* at {SIGMA}, running mu at {MU}, mu1 and mu2 (80-bit) at {MU1} and {MU2},",
        f"# the factor at {FACTOR}; {FRAME_SIZE} bytes (DrawKernelFrame in draw_kernel_frame.h).",
        "# Indices in the comments are 0-based; Lambda = Sigma* (x) (X'X)^-1.",
        "",
        "  .intel_syntax noprefix",
        "  .text",
    ]
    for kp1 in range(2, MAX_KP1 + 1):
        out.append(Kernel(kp1).generate())
    out += ["", '  .section .note.GNU-stack,"",@progbits', ""]
    return "\n".join(out)


def header():
    fields = []
    for name, ctype, extents, comment in FRAME:
        declaration = f"{ctype} {name}" + "".join(f"[{n}]" for n in extents) + ";"
        fields.append((declaration, f"// {comment}, at {OFFSETS[name]}"))
    width = max(len(d) for d, _ in fields) + 2
    asserts = [f"offsetof(DrawKernelFrame, {name}) == {OFFSETS[name]}" for name, *_ in FRAME]
    asserts.append(f"sizeof(DrawKernelFrame) == {FRAME_SIZE}")
    out = [
        "// Generated by scripts/gen_draw_kernels.py; do not edit.",
        "//",
        "// The working memory of the x87 draw kernels (draw_kernels_x86_64.S), laid",
        "// out as the kernels address it.",
        "#pragma once",
        "",
        "#include <cstddef>",
        "",
        "namespace quorvane {",
        "",
        "// An extended real kept as two doubles whose difference is exactly it: hi is",
        "// the value rounded to double and excess = hi - value what the rounding added",
        "// (value = hi - excess).",
        "struct Split {",
        "  double hi = 0, excess = 0;",
        "};",
        f"static_assert(sizeof(Split) == {SPLIT});",
        "",
        "// The run's constants (0-based, split) are set once; the rest is the kernel's",
        "// own.",
        "struct DrawKernelFrame {",
    ]
    out += [f"  {d:<{width}}{c}" for d, c in fields]
    out += ["};"]
    out += [f"static_assert({a});" for a in asserts]
    out += ["", "}  // namespace quorvane", ""]
    return "\n".join(out)


def main():
    outputs = {ASM_FILE: assembly(), HEADER_FILE: header()}
    check = sys.argv[1:] == ["--check"]
    if sys.argv[1:] and not check:
        sys.exit("usage: gen_draw_kernels.py [--check]")
    stale = []
    for path, text in outputs.items():
        full = os.path.join(ROOT, path)
        try:
            with open(full, encoding="utf-8") as f:
                current = f.read()
        except FileNotFoundError:
            current = None
        if current == text:
            continue
        stale.append(path)
        if not check:
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
    if check and stale:
        sys.exit("Out of date (run python3 scripts/gen_draw_kernels.py): " + ", ".join(stale))
    for path in stale:
        print(f"wrote {path}")


if __name__ == "__main__":
    main()
