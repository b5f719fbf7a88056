#!/usr/bin/perl
# Perl's Encode::Guess on every sample of a make_samples.py file: one answer per line.
# Suspects: the Japanese codes it knows, besides its defaults (ascii, utf8, BOM'd UTF-16/32).
use strict;
use warnings;
use Encode::Guess;

open(my $in, '<:raw', $ARGV[0]) or die "$ARGV[0]: $!";
local $/;
my $data = <$in>;
close($in);
my $pos = 0;
while ($pos < length($data)) {
    my (undef, undef, $size) = unpack('C V V', substr($data, $pos, 9));
    $pos += 9;
    my $sample = substr($data, $pos, $size);
    $pos += $size;
    my $text_size = unpack('V', substr($data, $pos, 4));
    $pos += 4 + $text_size;
    my $guess = guess_encoding($sample, qw/euc-jp shiftjis 7bit-jis utf8/);
    print ref($guess) ? $guess->name : 'none', "\n";
}
