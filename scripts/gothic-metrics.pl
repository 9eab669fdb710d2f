#!/usr/bin/perl
# gothic-metrics.pl IN.ttf OUT.ttf
# A copy of IPA Gothic named "RyvGothic" whose line height is its em, as
# the Japanese system font of the dialogs (ＭＳ ゴシック) has it. With IPA
# Gothic's own taller line (1.075 em) every dialog unit of height is a
# pixel more at 10 points, and the stock list of RyvoWin's main window
# reaches under the bottom row of buttons that are placed in pixels. The
# demo and the pictures map ＭＳ ゴシック to this copy.
use strict; use warnings;
my ($in, $out) = @ARGV;
open my $fh, '<:raw', $in or die "$in: $!"; local $/; my $f = <$fh>; close $fh;
my $n = unpack 'n', substr($f, 4, 2);
my %t;
for my $i (0 .. $n - 1) {
  my ($tag, $sum, $off, $len) = unpack 'a4 N N N', substr($f, 12 + 16 * $i, 16);
  $t{$tag} = [$off, $len];
}
my ($asc, $desc) = (1700, 300);
my $os2 = $t{'OS/2'}[0];
substr($f, $os2 + 68, 6) = pack 'n n n', $asc, (-$desc) & 0xFFFF, 0;   # typo asc/desc/gap
substr($f, $os2 + 74, 4) = pack 'n n', $asc, $desc;                    # win asc/desc
my $hhea = $t{'hhea'}[0];
substr($f, $hhea + 4, 6) = pack 'n n n', $asc, (-$desc) & 0xFFFF, 0;
my ($no, $nl) = @{$t{'name'}};
my $name = substr($f, $no, $nl);
$name =~ s/\x00I\x00P\x00A/\x00R\x00y\x00v/g;
$name =~ s/IPA/Ryv/g;
substr($f, $no, $nl) = $name;
open my $oh, '>:raw', $out or die "$out: $!"; print $oh $f; close $oh;
