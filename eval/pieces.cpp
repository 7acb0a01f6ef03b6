// Piece terms of the evaluation: piece-square values, mobility, outposts,
// rook and queen files and ranks, and king safety.
#include "eval/pieces.h"

#include "board/bitboard.h"
#include "eval/pawns.h"
#include "eval/psqt.h"

namespace {

// Knight outpost bonus by square, white's view (rank 4 to 6 only).
constexpr i32 outpostWhite[64] = {
    0, 0, 0,  0,  0,  0,  0, 0,  //
    0, 0, 0,  0,  0,  0,  0, 0,  //
    0, 0, 0,  0,  0,  0,  0, 0,  //
    0, 8, 16, 16, 16, 16, 8, 0,  // rank 4
    0, 8, 16, 32, 32, 16, 8, 0,  // rank 5
    0, 0, 16, 32, 32, 16, 0, 0,  // rank 6
    0, 0, 0,  0,  0,  0,  0, 0,  //
    0, 0, 0,  0,  0,  0,  0, 0,  //
};

// Outpost bonus of a knight of colour c on square s.
constexpr i32 knightOutpost(int c, int s) { return outpostWhite[c == WHITE ? s : s ^ 56]; }

// Penalty for the shield pawn of a file by its rank from the own side;
// index 0 stands for a file without an own pawn.
constexpr i32 shieldPenalty[8] = {50, 0, 10, 20, 30, 30, 30, 50};

// Danger of the attack units on the squares around a king.
constexpr i32 kingAttackWeight[32] = {0,   2,   4,   8,   11,  16,  23,  31,  41,  54,  69,  89,  113, 142, 176, 216,
                                      262, 314, 371, 431, 494, 556, 616, 673, 725, 771, 811, 845, 874, 898, 918, 933};

// One side's material at the start; scales the king danger by what is left.
constexpr i32 START_MATERIAL = 4075;

// Rank of s counted from the side of colour c (0 = its first rank).
constexpr int ownRank(int c, int s) { return c == WHITE ? s >> 3 : 7 - (s >> 3); }

// Union of each piece kind's attacks, for the enemy's king safety.
struct AttackSets {
  u64 knights, bishops, rooks, queens;
};

// True when a rook or queen of colour us on its seventh rank has prey there:
// the enemy king still on its first rank, or enemy pawns on that rank.
inline bool seventhRankPrey(const Board& board, int us, int sq) {
  int them = us ^ 1;
  if (ownRank(us, sq) != 6) return false;
  if (ownRank(us, board.kingSquare[them]) == 7) return true;
  return (board.pieces[them][PAWN] & (0xffull << (sq & 56))) != 0;
}

// Terms of one side's knights, bishops, rooks and queens as (mg, eg).
void scorePieces(const Board& board, int us, const u64 pawnAttacked[2], AttackSets& att, i32& mg, i32& eg) {
  int them = us ^ 1;
  u64 occ = board.occupied;
  u64 ownPawns = board.pieces[us][PAWN];
  u64 enemyPawns = board.pieces[them][PAWN];
  // Mobility counts squares free of own pieces and out of enemy pawns' reach.
  u64 room = ~board.byColour[us] & ~pawnAttacked[them];
  att = {0, 0, 0, 0};
  mg = 0;
  eg = 0;

  // 1. Knights, with outposts: a square no enemy pawn can attack, held by an own pawn.
  for (u64 b = board.pieces[us][KNIGHT]; b;) {
    int sq = popLsb(b);
    u64 a = knightAttacks[sq];
    att.knights |= a;
    i32 mob = 4 * popCount(a & room) - 8;
    mg += pstMg[us][KNIGHT][sq] + mob;
    eg += pstEg[us][KNIGHT][sq] + mob;
    i32 outpost = knightOutpost(us, sq);
    if (outpost && !(pawnAttacked[them] & squareMask[sq]) && (pawnAttacks[them][sq] & ownPawns)) {
      mg += outpost;
      eg += outpost;
    }
  }

  // 2. Bishops.
  for (u64 b = board.pieces[us][BISHOP]; b;) {
    int sq = popLsb(b);
    u64 a = bishopAttacks(sq, occ);
    att.bishops |= a;
    i32 mob = 4 * popCount(a & room) - 8;
    mg += pstMg[us][BISHOP][sq] + mob;
    eg += pstEg[us][BISHOP][sq] + mob;
  }

  // 3. Rooks: open and half-open files, the seventh rank.
  for (u64 b = board.pieces[us][ROOK]; b;) {
    int sq = popLsb(b);
    u64 a = rookAttacks(sq, occ);
    att.rooks |= a;
    i32 mob = 4 * popCount(a & room) - 8;
    i32 bonus = 0;
    u64 file = fileMask[sq & 7];
    if (!(ownPawns & file)) bonus += (enemyPawns & file) ? 10 : 20;
    if (seventhRankPrey(board, us, sq)) bonus += 20;
    mg += pstMg[us][ROOK][sq] + mob + bonus;
    eg += pstEg[us][ROOK][sq] + mob + bonus;
  }

  // 4. Queens: the seventh rank, and leaving home while the game is young.
  int queenHome = us == WHITE ? 3 : 59;
  for (u64 b = board.pieces[us][QUEEN]; b;) {
    int sq = popLsb(b);
    u64 a = queenAttacks(sq, occ);
    att.queens |= a;
    i32 mob = popCount(a & room) - 2;
    i32 bonus = 0;
    if (seventhRankPrey(board, us, sq)) bonus += 10;
    if (board.stage == 0 && sq != queenHome) bonus -= 20;
    mg += pstMg[us][QUEEN][sq] + mob + bonus;
    eg += pstEg[us][QUEEN][sq] + mob + bonus;
  }
}

}  // namespace

i32 kingShield(const Board& board, int us) {
  int ksq = board.kingSquare[us];
  if (ownRank(us, ksq) > 1) return 0;
  u64 ownPawns = board.pieces[us][PAWN];
  int kfile = ksq & 7;
  i32 shield = 0;
  for (int f = kfile - 1; f <= kfile + 1; f++) {
    if (f < 0 || f > 7) continue;
    u64 onFile = ownPawns & fileMask[f];
    if (!onFile) {
      shield -= shieldPenalty[0];
      continue;
    }
    // The pawn nearest to the own first rank.
    int sq = us == WHITE ? lsb(onFile) : 63 - __builtin_clzll(onFile);
    shield -= shieldPenalty[ownRank(us, sq)];
  }
  return shield;
}

namespace {

// King safety of colour us (middle game only).
i32 kingSafety(const Board& board, int us, const AttackSets& enemy, const i32 adjusted[2]) {
  int ksq = board.kingSquare[us];
  u64 zone = kingAttacks[ksq];
  // 1. Shield.
  i32 shield = kingShield(board, us);
  // 2. Attack units on the squares around the king.
  int units = 2 * popCount(zone & enemy.knights) + 2 * popCount(zone & enemy.bishops) +
              3 * popCount(zone & enemy.rooks) + 5 * popCount(zone & enemy.queens);
  if (units > 31) units = 31;
  // 3. Weighted by the enemy's material: the fewer attackers left, the less it matters.
  i32 safety = adjusted[us ^ 1] * (shield - kingAttackWeight[units]) / START_MATERIAL;
  // 4. A king in the centre of its first rank or already off it.
  bool exposed = ownRank(us, ksq) != 0 || (ksq & 7) == 3 || (ksq & 7) == 4;
  return exposed ? safety - 20 : safety;
}

}  // namespace

void evaluatePieces(const Board& board, const u64 pawnAttacked[2], const i32 adjusted[2], i32& mg, i32& eg) {
  // 1. Pieces of both sides; each side's attack sets are kept for the other's king.
  AttackSets att[2];
  i32 wmg, weg, bmg, beg;
  scorePieces(board, WHITE, pawnAttacked, att[WHITE], wmg, weg);
  scorePieces(board, BLACK, pawnAttacked, att[BLACK], bmg, beg);
  mg += wmg - bmg;
  eg += weg - beg;

  // 2. Kings on their squares.
  int wk = board.kingSquare[WHITE], bk = board.kingSquare[BLACK];
  mg += pstMg[WHITE][KING][wk] - pstMg[BLACK][KING][bk];
  eg += pstEg[WHITE][KING][wk] - pstEg[BLACK][KING][bk];

  // 3. King safety.
  mg += kingSafety(board, WHITE, att[BLACK], adjusted) - kingSafety(board, BLACK, att[WHITE], adjusted);
}
