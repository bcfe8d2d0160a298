#!/usr/bin/env python3
"""Writes src/Bayes_Engines/draw_kernels_x86_64.S, the x87 kernels of the
engines' per-draw evaluation (Lambda's Cholesky factor and the coefficient
draw), one per number of covariates 1 .. 5.

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

Run: python3 scripts/gen_draw_kernels.py > src/Bayes_Engines/draw_kernels_x86_64.S
"""

import sys

# Frame layout (bytes); must match DrawKernelFrame in monte_carlo_run.cpp.
SPLIT = 16
MAX_KP1 = 6
MAX_D = 2 * MAX_KP1
XTX = 0
BHAT = XTX + MAX_KP1 * MAX_KP1 * SPLIT
SCORE = BHAT + MAX_D * SPLIT
THRESHOLD = SCORE + MAX_KP1 * SPLIT
SIGMA = THRESHOLD + SPLIT
MU = SIGMA + 3 * SPLIT
OUT = MU + SPLIT
FACTOR = OUT + 2 * 16
FRAME_SIZE = FACTOR + MAX_D * MAX_D * SPLIT

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
        for j in range(i):
            # t = Lambda[i, j] - sum over k < j of L[j, k] L[i, k], k ascending.
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
            self.emit(f"fstp tbyte ptr [rdi+{OUT}]")
        elif i == d - 1:
            self.emit(f"fstp tbyte ptr [rdi+{OUT + 16}]")
        else:
            self.split_store(MU)
            self.emit("fstp st(0)")
        self.pop()


def main():
    out = [
        "# Generated by scripts/gen_draw_kernels.py; do not edit.",
        "#",
        "# bool quorvane_draw_kernel_<k>(DrawKernelFrame* frame /* rdi */,",
        "#                               const long double sigma[3] /* rsi, 16-byte stride */,",
        "#                               const Split* u /* rdx */)",
        "# for k = 1 .. 5 covariates. Returns false (eax = 0) when a pivot is below",
        "# 1e-12 or NaN, or when an x87 exception other than precision was raised.",
        f"# Frame: (X'X)^-1 at {XTX}, bHat at {BHAT}, score at {SCORE}, 1e-12 at {THRESHOLD},",
        f"# Sigma* at {SIGMA}, running mu at {MU}, mu1 and mu2 (80-bit) at {OUT},",
        f"# the factor at {FACTOR}; {FRAME_SIZE} bytes.",
        "",
        "  .intel_syntax noprefix",
        "  .text",
    ]
    for kp1 in range(2, MAX_KP1 + 1):
        out.append(Kernel(kp1).generate())
    out += ["", '  .section .note.GNU-stack,"",@progbits', ""]
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main()
